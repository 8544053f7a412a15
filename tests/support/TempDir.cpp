#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <random>

#include "WideText.h"
#endif

namespace testing_support {

#ifdef _WIN32
TempDir::TempDir() {
    // No mkdtemp here: try random names until one is new.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (L"remover-test-" + std::to_wstring(random()));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot create a temporary directory");
}

std::string TempDir::file(const std::string& name) const {
    // The path's own narrow form would go through the ANSI code page.
    return platform::Utf8FromWide((path_ / platform::WideFromUtf8(name)).native());
}
#else
TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "remover-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

std::string TempDir::file(const std::string& name) const {
    return (path_ / name).string();
}
#endif

TempDir::TempDir(std::initializer_list<std::string> tree) : TempDir() {
    for (const std::string& entry : tree) {
        if (!entry.empty() && entry.back() == '/')
            std::filesystem::create_directories(path_ / entry);
        else
            write(entry, "x");
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only entries behind; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string full = file(name);
#ifdef _WIN32
    std::ofstream out(path_ / platform::WideFromUtf8(name), std::ios::binary);
#else
    std::ofstream out(full, std::ios::binary);
#endif
    out << content;
    if (!out) throw std::runtime_error("cannot write " + full);
    return full;
}

}  // namespace testing_support
