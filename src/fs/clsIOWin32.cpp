// The file operations of clsIO on Windows, through the wide (W) calls; the
// system error of each failure becomes its run-time number.
#include <windows.h>

#include <string>
#include <vector>

#include "Diagnostics.h"
#include "RuntimeError.h"
#include "WideText.h"
#include "clsIO.h"

namespace {

using platform::RuntimeErrorFromWin32;
using platform::WideFromUtf8;
namespace rt = platform::rt;

// The failing call and the system's own number, for whoever reads the log.
void logFailure(const std::string& operation, const std::string& what, DWORD error) {
    platform::Diagnose(operation, what + ": Windows error " + std::to_string(error));
}

// What leads up to the last component of a path, its separator included.
std::wstring directoryPrefix(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

}  // namespace

bool clsIO::ZuCopy(const std::string& fOrigem, const std::string& fDestino) {
    // An existing target is overwritten.
    if (CopyFileW(WideFromUtf8(fOrigem).c_str(), WideFromUtf8(fDestino).c_str(), FALSE)) return true;
    const DWORD error = GetLastError();
    logFailure("ZuCopy", "'" + fOrigem + "' -> '" + fDestino + "'", error);
    RegistrarErro(RuntimeErrorFromWin32(error));
    return false;
}

bool clsIO::ZuKill(const std::string& fArquivo) {
    // Every file that the name designates, wildcards included; a directory
    // that matches is left alone.
    const std::wstring pattern = WideFromUtf8(fArquivo);
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        logFailure("ZuKill", "'" + fArquivo + "'", error);
        RegistrarErro(error == ERROR_NO_MORE_FILES ? rt::FileNotFound : RuntimeErrorFromWin32(error));
        return false;
    }
    const std::wstring prefix = directoryPrefix(pattern);
    std::vector<std::wstring> files;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(prefix + entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (files.empty()) {
        logFailure("ZuKill", "'" + fArquivo + "'", ERROR_FILE_NOT_FOUND);
        RegistrarErro(rt::FileNotFound);
        return false;
    }
    for (const std::wstring& file : files) {
        if (!DeleteFileW(file.c_str())) {
            const DWORD error = GetLastError();
            logFailure("ZuKill", "'" + fArquivo + "'", error);
            RegistrarErro(RuntimeErrorFromWin32(error));
            return false;
        }
    }
    return true;
}

bool clsIO::ZuCriarDiretório(const std::string& fFullPath) {
    if (CreateDirectoryW(WideFromUtf8(fFullPath).c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    logFailure("ZuCriarDiretório", "'" + fFullPath + "'", error);
    // An entry of that name already there is a path access error.
    RegistrarErro(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? rt::PathFileAccessError
                                                                              : RuntimeErrorFromWin32(error));
    return false;
}
