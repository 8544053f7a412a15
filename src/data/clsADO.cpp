#include "clsADO.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "Diagnostics.h"
#include "ErrorMessages.h"
#include "RuntimeError.h"
#include "TextCase.h"
#include "ado/AdoError.h"
#include "ado/StatusCodes.h"

namespace {

constexpr std::int32_t kJetDatabase = 1;
constexpr std::int32_t kSqlServerDatabase = 0;

// Column categories for RetornarSeparator: 0 text, 1 number, 2 date or time,
// 3 Boolean, -1 none.
std::int32_t categoryOfAdoType(const ado::Variant& code) {
    const auto value = ado::ToInteger(code);
    if (!value) return -1;
    static const std::vector<std::int64_t> text = {8, 129, 201, 203, 200, 202, 130};
    static const std::vector<std::int64_t> number = {20, 6, 14, 5, 3, 131, 4, 2, 16, 21, 19, 18, 17};
    static const std::vector<std::int64_t> date = {7, 133, 134, 135};
    auto in = [&](const std::vector<std::int64_t>& codes) {
        return std::find(codes.begin(), codes.end(), *value) != codes.end();
    };
    if (in(text)) return 0;
    if (in(number)) return 1;
    if (in(date)) return 2;
    if (*value == 11) return 3;
    return -1;
}

std::vector<std::string> splitAtCommas(const std::string& list) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = list.find(',', start);
        parts.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

// The status of the failure being handled, whatever it is: the layer's own
// error, a lack of memory, or anything else that some library below threw.
// What is not the layer's own goes to standard error for the IT person.
std::uint32_t currentFailure() {
    try {
        throw;
    } catch (const ado::AdoError& e) {
        return e.status();
    } catch (const platform::RuntimeError& e) {
        platform::Diagnose("clsADO", "run-time error " + std::to_string(e.number()) + ": " + e.what());
        return ado::status::adoError(static_cast<std::uint32_t>(e.number()));
    } catch (const std::bad_alloc&) {
        platform::Diagnose("clsADO", "out of memory");
        return ado::status::OutOfMemory;
    } catch (const std::exception& e) {
        platform::Diagnose("clsADO", std::string("unexpected failure: ") + e.what());
        return ado::status::Unspecified;
    } catch (...) {
        platform::Diagnose("clsADO", "unexpected failure of unknown kind");
        return ado::status::Unspecified;
    }
}

}  // namespace

void clsADO::RegistrarErro(std::uint32_t status) {
    errorNumber_ = platform::ErrorNumberFromStatus(status);
    errorString_ = platform::StandardErrorText(errorNumber_);
}

std::string clsADO::RetornarSeparator(ado::Connection& fCN, std::int32_t fTipo) {
    switch (fTipo) {
        case 0:
            return "'";
        case 2:
            return RetornarTipoBD(fCN) == kJetDatabase ? "#" : "'";
        default:
            return {};
    }
}

std::string clsADO::RetornarSeparator1(ado::Connection& fCN, const std::string& fNomeTable,
                                       const std::string& fNomeField) {
    std::string result;
    try {
        if (!TableExiste(fCN, fNomeTable)) return result;
        auto schema = fCN.OpenSchema(ado::adSchemaColumns, {"", "", fNomeTable, fNomeField});
        if (schema->RecordCount() == 0) {
            schema->Close();
            return result;
        }
        const std::int32_t category = categoryOfAdoType(schema->Fields("COLUMN_TYPE").Value());
        if (category >= 0) result = RetornarSeparator(fCN, category);
        schema->Close();
    } catch (...) {
        RegistrarErro(currentFailure());
    }
    return result;
}

bool clsADO::ExecutarSQL(ado::Connection& fCN, const std::string& SQL, std::int32_t& RecordsAfetados) {
    try {
        long affected = RecordsAfetados;
        fCN.Execute(SQL, &affected);
        RecordsAfetados = static_cast<std::int32_t>(affected);
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}

bool clsADO::AbrirConexão(ado::Connection& fCN, const std::string& fConnString) {
    try {
        fCN.SetConnectionString(fConnString);
        if (fCN.State() == ado::adStateOpen) fCN.Close();
        fCN.Open("", "", "", ado::adConnectUnspecified);
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}

bool clsADO::FecharConexão(ado::Connection& fCN) {
    try {
        fCN.Close();
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}

bool clsADO::AbrirRecordset(ado::Connection& fCN, ado::Recordset& fRS, const std::string& SQL) {
    try {
        if (fRS.State() == ado::adStateOpen) fRS.Close();
        fRS.SetCursorLocation(ado::adUseClient);
        fRS.SetCursorType(ado::adOpenStatic);
        fRS.SetLockType(ado::adLockOptimistic);
        fRS.Open(SQL, fCN, ado::adOpenUnspecified, ado::adLockUnspecified, ado::adCmdUnspecified);
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}

bool clsADO::OpenQueries(ado::Connection& fCN, const std::vector<std::string>& queries,
                         std::vector<ado::RowSet>& results) {
    try {
        results = fCN.QueryEach(queries);
        return true;
    } catch (...) {
        results.clear();
        RegistrarErro(currentFailure());
        return false;
    }
}

std::string clsADO::RetornarListaFields(ado::Connection& fCN, const std::string& fNomeTable,
                                        std::int32_t fTipo) {
    try {
        if (!TableExiste(fCN, fNomeTable)) return {};
        auto schema = fCN.OpenSchema(ado::adSchemaColumns, {"", "", fNomeTable, ""});
        std::string list;
        while (!schema->Eof()) {
            if (!list.empty()) list += ",";
            const std::string name = ado::ToText(schema->Fields("COLUMN_NAME").Value());
            switch (fTipo) {
                case 0:
                    list += "[" + name + "]";
                    break;
                case 1:
                    list += fNomeTable + ".[" + name + "]";
                    break;
                case 2:
                    list += ado::ToText(schema->Fields("ORDINAL_POSITION").Value()) + ":[" + name + "]";
                    break;
                default:
                    break;
            }
            schema->MoveNext();
        }
        schema->Close();
        return list;
    } catch (...) {
        RegistrarErro(currentFailure());
        return {};
    }
}

std::string clsADO::RetornarListaFieldsComuns(ado::Connection& fCN, const std::string& fNomeTable,
                                              const std::string& fNomeTable1) {
    const std::vector<std::string> first = splitAtCommas(RetornarListaFields(fCN, fNomeTable, 0));
    const std::vector<std::string> second = splitAtCommas(RetornarListaFields(fCN, fNomeTable1, 0));
    std::string result;
    for (const auto& name : first) {
        if (std::find(second.begin(), second.end(), name) == second.end()) continue;
        if (!result.empty()) result += ",";
        result += name;
    }
    return result;
}

bool clsADO::TableExiste(ado::Connection& fCN, const std::string& fNomeTable) {
    bool result = false;
    try {
        auto schema = fCN.OpenSchema(ado::adSchemaTables, {"", "", fNomeTable, "TABLE"});
        result = schema->RecordCount() != 0;
        schema->Close();
    } catch (...) {
        RegistrarErro(currentFailure());
    }
    return result;
}

bool clsADO::RemoverTable(ado::Connection& fCN, const std::string& fNomeTable) {
    if (!TableExiste(fCN, fNomeTable)) return true;
    std::int32_t scratch = 0;
    return ExecutarSQL(fCN, "drop table " + fNomeTable, scratch);
}

std::int32_t clsADO::RetornarTipoBD(ado::Connection& fCN) {
    const std::string connectionString = platform::UpperAscii(fCN.ConnectionString());
    if (connectionString.find("MICROSOFT.JET.OLEDB") != std::string::npos) return kJetDatabase;
    return kSqlServerDatabase;
}

bool clsADO::TransaçãoIniciar(ado::Connection& Conn) {
    try {
        Conn.BeginTrans();
        return true;
    } catch (...) {
        const std::uint32_t status = currentFailure();
        // A transaction already open on this connection is joined, not an error.
        if (status == ado::status::TransactionExists) return true;
        RegistrarErro(status);
        return false;
    }
}

bool clsADO::TransaçãoCancelar(ado::Connection& Conn) {
    try {
        Conn.RollbackTrans();
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}

bool clsADO::TransaçãoFinalizar(ado::Connection& Conn) {
    try {
        Conn.CommitTrans();
        return true;
    } catch (...) {
        RegistrarErro(currentFailure());
        return false;
    }
}
