// The program's gateway to the database: a connection-less wrapper over the
// ADO-style objects with a sticky last-error state.
//
// clsADO owns no connection and no recordset: each operation acts on the
// objects the caller hands in. Operations report success as a Boolean and
// record a failure's number (and the standard text for that number) in
// ErrorNumber/ErrorString; nothing clears them, so a caller reads them only
// right after a False result. No failure of any kind escapes those
// operations: one that is not the layer's own (a lack of memory, anything a
// library below throws) is recorded as E_OUTOFMEMORY or E_FAIL, so a caller
// always gets to report it and to roll back. The two schema operations without a discipline
// of their own (RetornarSeparator, RetornarTipoBD) let ado::AdoError escape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ado/Connection.h"
#include "ado/Recordset.h"

class clsADO {
public:
    std::string RetornarSeparator(ado::Connection& fCN, std::int32_t fTipo);
    std::string RetornarSeparator1(ado::Connection& fCN, const std::string& fNomeTable,
                                   const std::string& fNomeField);
    bool ExecutarSQL(ado::Connection& fCN, const std::string& SQL, std::int32_t& RecordsAfetados);

    void SetErrorString(const std::string& vData) { errorString_ = vData; }
    std::string ErrorString() const { return errorString_; }
    void SetErrorNumber(std::int32_t vData) { errorNumber_ = vData; }
    std::int32_t ErrorNumber() const { return errorNumber_; }

    bool AbrirConexão(ado::Connection& fCN, const std::string& fConnString);
    bool FecharConexão(ado::Connection& fCN);
    bool AbrirRecordset(ado::Connection& fCN, ado::Recordset& fRS, const std::string& SQL);
    // Runs the queries in order and fetches the rows of each into results,
    // sent in one request where the database takes several at once (see
    // ado::Connection::QueryEach); a failure is recorded as AbrirRecordset
    // records it.
    bool OpenQueries(ado::Connection& fCN, const std::vector<std::string>& queries,
                     std::vector<ado::RowSet>& results);

    std::string RetornarListaFields(ado::Connection& fCN, const std::string& fNomeTable,
                                    std::int32_t fTipo = 0);
    std::string RetornarListaFieldsComuns(ado::Connection& fCN, const std::string& fNomeTable,
                                          const std::string& fNomeTable1);
    bool TableExiste(ado::Connection& fCN, const std::string& fNomeTable);
    bool RemoverTable(ado::Connection& fCN, const std::string& fNomeTable);
    std::int32_t RetornarTipoBD(ado::Connection& fCN);

    bool TransaçãoIniciar(ado::Connection& Conn);
    bool TransaçãoCancelar(ado::Connection& Conn);
    bool TransaçãoFinalizar(ado::Connection& Conn);

private:
    void RegistrarErro(std::uint32_t status);

    std::int32_t errorNumber_ = 0;
    std::string errorString_;
};
