// clsIO on a temporary directory: the error-state convention, the file
// operations with the run-time numbers they record, and the existence test
// and the free space, whose cases are one table each with the rows of each
// system. What only one system has is in ClsIoPosixTest.cpp and
// ClsIoWin32Test.cpp.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "CurrentDrive.h"
#include "TempDir.h"
#include "WindowsDirectory.h"
#include "clsIO.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// The system a table's row holds for.
enum class On { Both, Posix, Windows };
constexpr bool kWindows = platform::kPathSeparator == '\\';

bool holdsHere(On on) {
    return on == On::Both || (on == On::Windows) == kWindows;
}

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(ClsIoErrorState, IsSetOnlyByFailuresAndSettersAndStaysAfterSuccess) {
    TempDir dir;
    const std::string source = dir.write("origem.txt", "conteúdo");
    clsIO io;
    EXPECT_EQ(io.ErrorNumber(), 0);
    EXPECT_EQ(io.ErrorString(), "");

    io.SetErrorNumber(5);
    io.SetErrorString("texto qualquer");
    EXPECT_FALSE(io.ZuDir(dir.file("ausente")));
    EXPECT_EQ(io.ZuEspaçoLivre("Q"), -1);
    EXPECT_EQ(io.ErrorNumber(), 5);
    EXPECT_EQ(io.ErrorString(), "texto qualquer");

    EXPECT_FALSE(io.ZuCopy(dir.file("ausente.txt"), dir.file("copia.txt")));
    EXPECT_EQ(io.ErrorNumber(), 53);
    EXPECT_EQ(io.ErrorString(), "Arquivo não encontrado");

    EXPECT_TRUE(io.ZuCopy(source, dir.file("copia.txt")));
    EXPECT_TRUE(io.ZuCriarDiretório(dir.file("nova")));
    EXPECT_TRUE(io.ZuKill(dir.file("copia.txt")));
    EXPECT_EQ(io.ErrorNumber(), 53);
    EXPECT_EQ(io.ErrorString(), "Arquivo não encontrado");
}

struct Failure {
    const char* name;
    std::function<bool(clsIO&, const TempDir&)> call;
    std::int32_t number;
    const char* text;
};

TEST(ClsIoFailures, RecordTheRunTimeNumberAndItsText) {
    const Failure failures[] = {
        {"copy: missing source",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("ausente.txt"), d.file("x.txt")); }, 53,
         "Arquivo não encontrado"},
        {"copy: source in a missing directory",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("nada/a.txt"), d.file("x.txt")); }, 76,
         "Caminho não encontrado"},
        {"copy: missing target directory",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("a.txt"), d.file("nada/x.txt")); }, 76,
         "Caminho não encontrado"},
        {"copy: target is a directory",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("a.txt"), d.file("sub")); }, 75,
         "Erro de acesso ao caminho/arquivo"},
        {"copy: source is a directory",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("sub"), d.file("x.txt")); }, 75,
         "Erro de acesso ao caminho/arquivo"},
        {"copy: onto itself",
         [](clsIO& io, const TempDir& d) { return io.ZuCopy(d.file("a.txt"), d.file("a.txt")); }, 70,
         "Permissão negada"},
        {"kill: nothing matches", [](clsIO& io, const TempDir& d) { return io.ZuKill(d.file("*.doc")); }, 53,
         "Arquivo não encontrado"},
        {"kill: a missing file", [](clsIO& io, const TempDir& d) { return io.ZuKill(d.file("ausente.txt")); },
         53, "Arquivo não encontrado"},
        {"kill: only a directory matches",
         [](clsIO& io, const TempDir& d) { return io.ZuKill(d.file("su*")); }, 53, "Arquivo não encontrado"},
        {"kill: a directory by name", [](clsIO& io, const TempDir& d) { return io.ZuKill(d.file("sub")); },
         53, "Arquivo não encontrado"},
        {"kill: missing directory",
         [](clsIO& io, const TempDir& d) { return io.ZuKill(d.file("nada/*.txt")); }, 76,
         "Caminho não encontrado"},
        {"mkdir: existing directory",
         [](clsIO& io, const TempDir& d) { return io.ZuCriarDiretório(d.file("sub")); }, 75,
         "Erro de acesso ao caminho/arquivo"},
        {"mkdir: a file of that name",
         [](clsIO& io, const TempDir& d) { return io.ZuCriarDiretório(d.file("a.txt")); }, 75,
         "Erro de acesso ao caminho/arquivo"},
        {"mkdir: missing parent",
         [](clsIO& io, const TempDir& d) { return io.ZuCriarDiretório(d.file("nada/nova")); }, 76,
         "Caminho não encontrado"},
    };
    for (const Failure& f : failures) {
        TempDir dir;
        dir.write("a.txt", "original");
        fs::create_directory(dir.path() / "sub");
        clsIO io;
        EXPECT_FALSE(f.call(io, dir)) << f.name;
        EXPECT_EQ(io.ErrorNumber(), f.number) << f.name;
        EXPECT_EQ(io.ErrorString(), f.text) << f.name;
        // A failure changes nothing on disk.
        EXPECT_EQ(contentOf(dir.file("a.txt")), "original") << f.name;
        EXPECT_TRUE(fs::is_directory(dir.path() / "sub")) << f.name;
        EXPECT_FALSE(fs::exists(dir.path() / "x.txt")) << f.name;
        EXPECT_FALSE(fs::exists(dir.path() / "nada")) << f.name;
    }
}

TEST(ZuCopy, CopiesAndOverwritesAnExistingTarget) {
    TempDir dir;
    const std::string source = dir.write("origem.bin", std::string("dados\0\xFF binários", 17));
    const std::string target = dir.write("destino.bin", "um conteúdo antigo e mais longo que o novo");
    clsIO io;
    EXPECT_TRUE(io.ZuCopy(source, target));
    EXPECT_EQ(contentOf(target), contentOf(source));
    EXPECT_TRUE(io.ZuCopy(source, dir.file("nova.bin")));
    EXPECT_EQ(contentOf(dir.file("nova.bin")), contentOf(source));
    EXPECT_EQ(contentOf(source), std::string("dados\0\xFF binários", 17));
}

TEST(ZuKill, DeletesEveryMatchingFileAndNoDirectory) {
    TempDir dir;
    dir.write("laudo1.tmp", "");
    dir.write("laudo2.tmp", "");
    dir.write("laudo.txt", "");
    fs::create_directory(dir.path() / "pasta.tmp");
    clsIO io;
    EXPECT_TRUE(io.ZuKill(dir.file("*.tmp")));
    EXPECT_FALSE(fs::exists(dir.path() / "laudo1.tmp"));
    EXPECT_FALSE(fs::exists(dir.path() / "laudo2.tmp"));
    EXPECT_TRUE(fs::exists(dir.path() / "laudo.txt"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "pasta.tmp"));
    EXPECT_TRUE(io.ZuKill(dir.file("laudo.txt")));
    EXPECT_FALSE(fs::exists(dir.path() / "laudo.txt"));
    EXPECT_EQ(io.ErrorNumber(), 0);
}

TEST(ZuCriarDiretório, CreatesOneLevel) {
    TempDir dir;
    clsIO io;
    EXPECT_TRUE(io.ZuCriarDiretório(dir.file("nova")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "nova"));
    EXPECT_TRUE(io.ZuCriarDiretório(dir.file("nova/funda")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "nova" / "funda"));
}

TEST(ZuDir, AnswersWhetherThePathNamesAnEntry) {
    TempDir dir;
    dir.write("a.txt", "a");
    dir.write("b.TXT", "b");
    dir.write("relatório.txt", "r");
    dir.write(".oculto", "");
    dir.write("README", "");
    fs::create_directories(dir.path() / "sub");
    dir.write("sub/inner.ini", "");
    fs::create_directory(dir.path() / "vazio");
    if (!kWindows) fs::create_symlink(dir.path() / "nao-existe", dir.path() / "quebrado");
    const std::string d = dir.file("");

    const struct {
        On on;
        std::string path;
        bool expected;
    } cases[] = {
        {On::Both, "", false},
        {On::Both, "\\", false},
        {On::Posix, "/", true},
        {On::Both, d + "a.txt", true},
        {On::Posix, d + "A.TXT", false},
        {On::Windows, d + "A.TXT", true},  // names are found in either case
        {On::Windows, d + "relatório.txt", true},
        {On::Windows, d + "RELATÓRIO.TXT", true},
        {On::Windows, d + "relatorio.txt", false},
        {On::Both, d + "sub", true},
        {On::Posix, d + "sub/", true},
        {On::Both, d + "sub\\", true},
        {On::Posix, d + "quebrado", true},  // a link is an entry even when it leads nowhere
        {On::Both, d + "ausente", false},
        {On::Posix, d + "ausente/", false},
        {On::Windows, d + "ausente\\", false},
        {On::Posix, d + "nada/a.txt", false},
        {On::Windows, d + "nada\\a.txt", false},
        {On::Posix, d + "a.txt/x", false},
        {On::Both, d + "*.txt", true},
        {On::Posix, d + "*.TXT", true},
        {On::Both, d + "*.doc", false},
        {On::Both, d + "?.txt", true},
        {On::Posix, d + "??.txt", false},
        {On::Both, d + "READ*.*", true},
        {On::Posix, d + ".ocu*", true},
        {On::Both, d + "su?", true},  // directories match too
        {On::Posix, d + "sub/*.ini", true},
        {On::Windows, d + "sub\\*.ini", true},
        {On::Posix, d + "vazio/*", false},  // "." and ".." are not entries of their own
        {On::Posix, d + "nada/*", false},
        {On::Windows, d + "nada\\*", false},
        {On::Posix, d + "s*/inner.ini", false},  // wildcards only in the last component
        {On::Windows, d + "s*\\inner.ini", false},
    };
    clsIO io;
    for (const auto& c : cases) {
        if (!holdsHere(c.on)) continue;
        EXPECT_EQ(io.ZuDir(c.path), c.expected) << "[" << c.path << "]";
    }
    EXPECT_EQ(io.ErrorNumber(), 0);
    EXPECT_EQ(io.ErrorString(), "");
}

std::int64_t freeBytesOf(const std::string& path) {
    std::error_code ec;
    const fs::space_info space = fs::space(path, ec);
    return ec ? -2 : static_cast<std::int64_t>(space.available);
}

// Other processes write to the same disks while the test runs.
constexpr std::int64_t kTolerance = 256ll << 20;

TEST(ZuEspaçoLivre, NormalisesTheDriveAndRestoresTheCurrentOne) {
    const struct {
        On on;
        const char* drive;
        bool driveC;
    } cases[] = {
        {On::Both, "c", true},
        {On::Both, "c:", true},
        {On::Both, "C:", true},
        {On::Posix, "C:/some/path", true},
        {On::Windows, "C:\\some\\path", true},
        {On::Both, "c:\\Dados", true},
        {On::Both, "Cz", true},
        {On::Both, "", false},
        {On::Posix, "Z", false},
        {On::Posix, "z:", false},
        {On::Windows, "Q", false},  // Wine gives Z: the host's root
        {On::Windows, "q:", false},
        {On::Both, ":", false},
        {On::Both, "1", false},
        {On::Both, ":C", false},
    };
    const std::string before = platform::CurrentDirectory();
    // Without drive letters, drive C's current directory is the root,
    // wherever the process works.
    if (!kWindows) {
        EXPECT_EQ(before, "C:/");
    }
    const std::int64_t driveCFree = freeBytesOf(kWindows ? "C:\\" : "/");
    clsIO io;
    io.SetErrorNumber(5);
    io.SetErrorString("texto");
    for (const auto& c : cases) {
        if (!holdsHere(c.on)) continue;
        const std::int64_t free = io.ZuEspaçoLivre(c.drive);
        if (c.driveC) {
            EXPECT_NEAR(static_cast<double>(free), static_cast<double>(driveCFree), kTolerance) << c.drive;
        } else {
            EXPECT_EQ(free, -1) << c.drive;
        }
        EXPECT_EQ(platform::CurrentDirectory(), before) << c.drive;
    }
    EXPECT_EQ(io.ErrorNumber(), 5);
    EXPECT_EQ(io.ErrorString(), "texto");
}

}  // namespace
