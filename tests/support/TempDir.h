// A private temporary directory, removed with everything in it at the end of
// the test.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    // A temporary directory holding tree: each entry a folder when it ends in
    // "/" (its parents made too), else a file holding "x".
    explicit TempDir(std::initializer_list<std::string> tree);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name, as text.
    std::string file(const std::string& name) const;
    // path() itself for no name, else file(name).
    std::string dir(const std::string& name = "") const { return name.empty() ? path_.string() : file(name); }
    // Writes content to path() / name and returns the full path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
