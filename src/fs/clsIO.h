// The program's small file-system helper, with a sticky last-error state.
//
// ZuDir answers whether a path names an existing entry and never touches the
// error state. ZuCopy, ZuKill and ZuCriarDiretório return False on failure and
// record the run-time error number and its standard text; nothing clears the
// state, so a caller reads it only right after a False result.
// ZuEspaçoLivre signals failure by -1 and never touches the error state.
#pragma once

#include <cstdint>
#include <string>

class clsIO {
public:
    // Free space, in bytes, of the drive that fDrive designates; -1 on failure.
    std::int64_t ZuEspaçoLivre(std::string fDrive);

    void SetErrorNumber(std::int32_t vData) { errorNumber_ = vData; }
    std::int32_t ErrorNumber() const { return errorNumber_; }
    void SetErrorString(const std::string& vData) { errorString_ = vData; }
    std::string ErrorString() const { return errorString_; }

    bool ZuDir(const std::string& Caminho);
    bool ZuCopy(const std::string& fOrigem, const std::string& fDestino);
    bool ZuKill(const std::string& fArquivo);
    bool ZuCriarDiretório(const std::string& fFullPath);

private:
    void RegistrarErro(std::int32_t number);

    std::string errorString_;
    std::int32_t errorNumber_ = 0;
};
