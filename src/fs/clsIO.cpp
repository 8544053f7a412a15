#include "clsIO.h"

#include "CurrentDrive.h"
#include "ErrorMessages.h"
#include "FileSearch.h"
#include "TextCase.h"
#include "WindowsDirectory.h"

std::int64_t clsIO::ZuEspaçoLivre(std::string fDrive) {
    // A full path of this system names its file system by itself; the drive
    // letters below are the forms a Windows path would take.
    if (const auto free = platform::DiskSpaceFreeOfFullPath(fDrive)) return *free;
    // Every step runs even when an earlier one failed; a failure only turns
    // the result into -1, and the previous drive is made current again.
    const std::string previous = platform::CurrentDirectory().substr(0, 2);

    if (!(fDrive.find(':') != std::string::npos && fDrive.size() <= 2)) fDrive = fDrive.substr(0, 1) + ":";

    bool failed = !platform::ChangeDrive(fDrive);
    const std::string wanted = platform::UpperAscii(fDrive);
    std::int64_t result = -1;
    if (!failed && platform::CurrentDirectory().substr(0, 2) == wanted) result = platform::DiskSpaceFree();

    platform::ChangeDrive(previous);
    return result < 0 ? -1 : result;
}

bool clsIO::ZuDir(const std::string& Caminho) {
    if (Caminho.empty() || Caminho == "\\") return false;
    // The root has no name left once its separator is dropped, yet it is
    // there; every other path loses one trailing separator, "\" as written
    // in the host product's paths or this platform's own.
    if (Caminho.size() == 1 && Caminho[0] == platform::kPathSeparator)
        return platform::FindFirstMatch(Caminho);
    std::string nome = Caminho;
    if (nome.back() == '\\' || nome.back() == platform::kPathSeparator) nome.pop_back();
    return platform::FindFirstMatch(nome);
}

void clsIO::RegistrarErro(std::int32_t number) {
    errorNumber_ = number;
    errorString_ = platform::StandardErrorText(number);
}
