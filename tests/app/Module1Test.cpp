// The configuration reader: how a line sets a key, how the file is read
// (line ends, byte-order mark, code page), and where the file is looked for.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "Module1.h"
#include "RuntimeError.h"
#include "TempDir.h"

namespace {

using testing_support::TempDir;

struct KeyCase {
    const char* line;
    const char* key;
    bool directory;
    const char* expected;
};

TEST(RetornarValorChave, SplitsAtTheFirstEqualsAndTrimsOnlySpaces) {
    const KeyCase cases[] = {
        {"conn_server = Provider=SQLOLEDB.1;Data Source=X", "CONN_SERVER", false,
         "Provider=SQLOLEDB.1;Data Source=X"},
        {"   CONN_SERVER   =   abc   ", "CONN_SERVER", false, "abc"},
        {"CONN_SERVER==x", "CONN_SERVER", false, "=x"},
        {"Conn_Local=Valor Com Caixa", "conn_local", false, "Valor Com Caixa"},
        {"CONN_SERVER\t=abc", "CONN_SERVER", false, ""},
        {"\tCONN_SERVER=abc", "CONN_SERVER", false, ""},
        {"CONN_SERVER=\tabc\t", "CONN_SERVER", false, "\tabc\t"},
        {";CONN_SERVER=abc", "CONN_SERVER", false, ""},
        {"CONN_SERVER abc", "CONN_SERVER", false, ""},
        {"CONN_SERVER", "CONN_SERVER", false, ""},
        {"CONN_SERVER=", "CONN_SERVER", false, ""},
        {"CONN_SERVER=     ", "CONN_SERVER", false, ""},
        {"CONN_SERVERX=abc", "CONN_SERVER", false, ""},
        {"CONN_SERVER=abc", "CONN_LOCAL", false, ""},
        {"[CONN_SERVER]", "CONN_SERVER", false, ""},
        // The directory flag appends the backslash before the line is split.
        {"DIR_SVR=D:\\Dados", "DIR_SVR", true, "D:\\Dados\\"},
        {"DIR_SVR=D:\\Dados\\", "DIR_SVR", true, "D:\\Dados\\"},
        {"DIR_SVR=", "DIR_SVR", true, "\\"},
        {"DIR_SVR=D:\\Dados  ", "DIR_SVR", true, "D:\\Dados  \\"},
        {"dir_svr = a=b", "DIR_SVR", true, "a=b\\"},
        {"DIR_SVR", "DIR_SVR", true, ""},
        {"CONN_SERVER=x", "DIR_SVR", true, ""},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(Module1::RetornarValorChave(c.line, c.key, c.directory), c.expected)
            << "line [" << c.line << "] key " << c.key;
    }
}

struct FileCase {
    const char* name;
    std::string content;
    std::string connServer;
    std::string connLocal;
    std::string dirSvr;
};

TEST(LerConfiguração, FillsTheSettingsFromTheLinesOfTheFile) {
    using namespace std::string_literals;
    const FileCase cases[] = {
        {"empty file", "", "", "", ""},
        {"sections are ordinary lines",
         "[Geral]\r\nCONN_SERVER=Provider=SQLite;Data Source=a.db\r\n[Outra]\r\nCONN_LOCAL=b\r\n"
         "DIR_SVR=D:\\Dados\r\n",
         "Provider=SQLite;Data Source=a.db", "b", "D:\\Dados\\"},
        {"last non-empty value wins", "CONN_SERVER=a\r\nCONN_SERVER=b\r\nCONN_SERVER=\r\nCONN_SERVER=   \r\n",
         "b", "", ""},
        {"an empty DIR_SVR still sets its backslash", "DIR_SVR=D:\\X\r\nDIR_SVR=\r\n", "", "", "\\"},
        {"comments, other keys, no equals, tabs",
         ";CONN_SERVER=abc\r\nCONN_SERVER\t=tab\r\nCONN_SERVER\r\nOUTRA=1\r\n\r\nCONN_LOCAL = x = y \r\n", "",
         "x = y", ""},
        {"LF line ends", "CONN_SERVER=a\nCONN_LOCAL=b\nDIR_SVR=c\n", "a", "b", "c\\"},
        {"CR line ends, no final end", "CONN_SERVER=a\rCONN_LOCAL=b\rDIR_SVR=c", "a", "b", "c\\"},
        {"mixed line ends", "CONN_SERVER=a\r\r\nCONN_LOCAL=b\n\rDIR_SVR=c\r\n", "a", "b", "c\\"},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "CONN_SERVER=a\r\n",
         "a", "", ""},
        {"UTF-8 kept", "CONN_LOCAL=Configuração € “x” \U0010FFFF\r\nDIR_SVR=C:\\Laudos Médicos\r\n", "",
         "Configuração € “x” \U0010FFFF", "C:\\Laudos Médicos\\"},
        {"Windows-1252 letters",
         "CONN_LOCAL=Configura\xE7\xE3o \x80\r\nDIR_SVR=C:\\M\xE9"
         "dicos\r\n",
         "", "Configuração €", "C:\\Médicos\\"},
        {"Windows-1252 0x80-0x9F",
         "CONN_LOCAL=\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94"
         "\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F\r\n",
         "", "‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ", ""},
        {"Windows-1252 unassigned positions", "CONN_LOCAL=\x81\x8D\x8F\x90\x9D\r\n", "",
         "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", ""},
        // One stray byte anywhere decides for the whole file.
        {"one ANSI byte makes the whole file ANSI", "CONN_LOCAL=\xC3\xA7\r\nCONN_SERVER=\xE7\r\n", "ç", "Ã§",
         ""},
        {"overlong form is not UTF-8", "CONN_LOCAL=\xC0\xAF\r\n", "", "À¯", ""},
        {"overlong three-byte form is not UTF-8", "CONN_LOCAL=\xE0\x80\xAF\r\n", "", "à€¯", ""},
        {"past U+10FFFF is not UTF-8", "CONN_LOCAL=\xF4\x90\x80\x80\r\n", "", "ô\xC2\x90€€", ""},
        {"surrogate is not UTF-8", "CONN_LOCAL=\xED\xA0\x80\r\n", "", "í\xC2\xA0€", ""},
        {"cut sequence at the end is not UTF-8", "CONN_LOCAL=a\xC3", "", "aÃ", ""},
        {"NUL is an ordinary character", "CONN_SERVER=a\0b\r\n\0\0\0\r\n"s, "a\0b"s, "", ""},
    };
    for (const FileCase& c : cases) {
        TempDir dir;
        const std::string path = dir.write("Quelvomir.INI", c.content);
        Module1::gConnServer = Module1::gConnLocal = Module1::gDirSvr = "antigo";
        EXPECT_TRUE(Module1::LerConfiguração(path)) << c.name;
        EXPECT_EQ(Module1::gConnServer, c.connServer) << c.name;
        EXPECT_EQ(Module1::gConnLocal, c.connLocal) << c.name;
        EXPECT_EQ(Module1::gDirSvr, c.dirSvr) << c.name;
    }
}

TEST(LerConfiguração, StrictAuditIsOnForAnyValueButZero) {
    const std::pair<std::string, bool> cases[] = {
        {"CONN_SERVER=a\r\n", false},          {"AUDITORIA_ESTRITA=1\r\n", true},
        {"auditoria_estrita = sim\r\n", true}, {"AUDITORIA_ESTRITA=0\r\n", false},
        {"AUDITORIA_ESTRITA=\r\n", false},     {"AUDITORIA_ESTRITA=1\r\nAUDITORIA_ESTRITA=0\r\n", false},
    };
    for (const auto& [content, strict] : cases) {
        TempDir dir;
        Module1::gAuditoriaEstrita = !strict;
        EXPECT_TRUE(Module1::LerConfiguração(dir.write("Quelvomir.INI", content)));
        EXPECT_EQ(Module1::gAuditoriaEstrita, strict) << content;
    }
}

TEST(LerConfiguração, SurvivesHostileContent) {
    TempDir dir;
    std::mt19937 random(20240611);
    std::string noise(8 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    EXPECT_TRUE(Module1::LerConfiguração(dir.write("ruido.ini", noise + "\r\nCONN_SERVER=fim\r\n")));
    EXPECT_EQ(Module1::gConnServer, "fim");

    // Megabytes without a line end that set nothing are passed over.
    EXPECT_TRUE(
        Module1::LerConfiguração(dir.write("nulos.ini", std::string(6 << 20, '\0') + "\nCONN_LOCAL=x")));
    EXPECT_EQ(Module1::gConnLocal, "x");

    // A setting too long to be held is a run-time error, not a cut value.
    try {
        Module1::LerConfiguração(dir.write("longa.ini", "CONN_SERVER=" + std::string(3 << 20, 'x')));
        FAIL() << "no error for a 3 MB value";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 7);
    }
}

std::optional<std::int32_t> errorNumberOf(const std::string& path) {
    try {
        Module1::LerConfiguração(path);
    } catch (const platform::RuntimeError& e) {
        return e.number();
    }
    return std::nullopt;
}

TEST(LerConfiguração, AFileThatCannotBeReadIsARunTimeError) {
    TempDir dir;
    const std::string file = dir.write("Quelvomir.INI", "CONN_SERVER=a\r\n");
    std::filesystem::create_directory(dir.path() / "pasta.ini");
    EXPECT_EQ(errorNumberOf(dir.file("ausente.ini")), 53);
    EXPECT_EQ(errorNumberOf(dir.file("pasta.ini")), 75);
    EXPECT_EQ(errorNumberOf(file + "/x.ini"), 76);

    // No configuration file is larger than 16 MiB: a larger one is refused
    // before it is read.
    const std::string largest = dir.write("grande.ini", "CONN_SERVER=a\r\n");
    std::filesystem::resize_file(largest, std::uintmax_t{16} << 20);
    EXPECT_EQ(errorNumberOf(largest), std::nullopt);
    std::filesystem::resize_file(largest, (std::uintmax_t{16} << 20) + 1);
    EXPECT_EQ(errorNumberOf(largest), 75);

    // Permission denied, also when the tests run as root: then an
    // unprivileged child process makes the attempt.
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(errorNumberOf(file), 70);
        return;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
        const auto number = errorNumberOf(file);
        _exit(number ? *number : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 70);
}

// Sets WINDIR (or removes it) for one test and puts back what was there.
class WindirGuard {
public:
    explicit WindirGuard(const char* value) {
        if (const char* old = std::getenv("WINDIR")) saved_ = old;
        if (value) {
            setenv("WINDIR", value, 1);
        } else {
            unsetenv("WINDIR");
        }
    }
    ~WindirGuard() {
        if (saved_) {
            setenv("WINDIR", saved_->c_str(), 1);
        } else {
            unsetenv("WINDIR");
        }
    }

private:
    std::optional<std::string> saved_;
};

TEST(RetornarDiretórioWindows, IsWindirOrEtcWithItsCaseAndOneSeparator) {
    const std::string longest(253, 'a');  // with its "/" and NUL it fills the 255 places
    const struct {
        const char* windir;
        std::string expected;
    } cases[] = {
        {"/opt/Quelvomir", "/opt/Quelvomir/"},
        {"/opt/Quelvomir/", "/opt/Quelvomir/"},
        {nullptr, "/etc/"},
        {"", "/etc/"},
        {longest.c_str(), longest + "/"},
    };
    for (const auto& c : cases) {
        WindirGuard guard(c.windir);
        EXPECT_EQ(Module1::RetornarDiretórioWindows(), c.expected) << (c.windir ? c.windir : "(unset)");
    }
}

TEST(RetornarDiretórioWindows, NoDirectoryIsARunTimeError) {
    const std::string tooLong(254, 'a');
    WindirGuard guard(tooLong.c_str());
    try {
        Module1::RetornarDiretórioWindows();
        FAIL() << "a directory that does not fit the buffer was returned";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 76);
    }
}

}  // namespace
