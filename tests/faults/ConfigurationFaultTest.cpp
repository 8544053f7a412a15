// A configuration file that is there but is not what it should be, met by
// the whole start-up (frmPrincipal::Load). Each start-up runs in a child
// process with a time limit, so that a hang shows as a failure rather than a
// test that never ends. Start-up must end with a message the operator can
// act on and a non-zero exit status: never a crash, never a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

#include "ChildProcess.h"
#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "FaultSupport.h"
#include "RuntimeErrorReport.h"
#include "TempDir.h"
#include "qt/frmPrincipal.h"

namespace {

using namespace std::chrono_literals;
using faults::ChildProcess;
using faults::Decode;
using faults::Encode;
using faults::Shown;
using faults::ShownBy;

const std::string kRuntimeTitle = "Quelvomir 4.0 - Remover exame";
const std::string kConnectionSentence =
    "Ao abrir a conexão com o banco de dados ocoreu o seguinte erro.\r\n\r\nErro nº ";

struct StartUp {
    std::vector<Shown> shown;
    bool loaded = false;
    bool ended = false;
    int exitCode = 0;
    int childStatus = 0;  // the child's own exit: -1 when it hung
};

// Runs the start-up with WINDIR at directory in a child process, as the user
// uid when given.
StartUp StartUpIn(const std::filesystem::path& directory, std::optional<uid_t> uid = {}) {
    ChildProcess child([&](ChildProcess& self) {
        if (uid && (setgid(*uid) != 0 || setuid(*uid) != 0)) return 1;
        setenv("WINDIR", directory.c_str(), 1);
        faults::EnsureApplication();
        testing_support::FakeToolkit ui;
        frmPrincipal w(&ui);
        const bool loaded = w.Load();
        self.Say(Encode(ShownBy(ui)) + (loaded ? "L" : "-") + (ui.Ended() ? "E" : "-") +
                 std::to_string(ui.ExitCode()));
        return 0;
    });
    StartUp result;
    result.childStatus = child.Finish(5s);
    const std::string& output = child.Output();
    const std::size_t tail = output.rfind('\x1E') == std::string::npos ? 0 : output.rfind('\x1E') + 1;
    result.shown = Decode(output);
    if (output.size() >= tail + 3) {
        result.loaded = output[tail] == 'L';
        result.ended = output[tail + 1] == 'E';
        result.exitCode = std::atoi(output.c_str() + tail + 2);
    }
    return result;
}

std::string randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

TEST(ConfigurationFaults, AConfigurationFileThatIsNotOneEndsStartUpWithAMessage) {
    testing_support::TempDir temp;
    // Others may pass through the directories, so that an unprivileged user
    // meets the file's own permissions and nothing else.
    ASSERT_EQ(chmod(temp.path().c_str(), 0755), 0);
    const std::string dataSource = temp.file("exames.db");
    testing_support::CreateSqliteExamDatabase(dataSource);

    const Shown accessError = {kRuntimeTitle,
                               "Erro em tempo de execução '75':\n\nErro de acesso ao caminho/arquivo"};
    const Shown noConnectionString = {
        "Atenção!",
        kConnectionSentence + "-2147217770 - Não foi possível estabelecer a conexão com o banco de dados"};
    // A connection string cut short by a NUL is refused whole, never opened
    // as the shorter name.
    const Shown connectionStringRefused = {
        "Atenção!",
        kConnectionSentence +
            "3001 - Os argumentos são do tipo errado, estão fora do intervalo aceitável ou estão em "
            "conflito uns com os outros"};
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path& ini)> make;
        Shown expected;
        int exitCode;
    } cases[] = {
        {"several megabytes of random bytes",
         [](const auto& ini) { std::ofstream(ini, std::ios::binary) << randomBytes(5 << 20, 7); },
         noConnectionString, frmPrincipal::kExitStartupFailed},
        {"NUL bytes only",
         [](const auto& ini) { std::ofstream(ini, std::ios::binary) << std::string(3 << 20, '\0'); },
         noConnectionString, frmPrincipal::kExitStartupFailed},
        {"a NUL inside the database's name",
         [&](const auto& ini) {
             std::ofstream(ini, std::ios::binary)
                 << "CONN_SERVER=Provider=SQLite;Data Source=" + dataSource + std::string("\0.old\r\n", 7);
         },
         connectionStringRefused, frmPrincipal::kExitStartupFailed},
        {"a named pipe that nobody writes", [](const auto& ini) { ASSERT_EQ(mkfifo(ini.c_str(), 0644), 0); },
         accessError, platform::kRuntimeErrorExitCode},
        {"a link to a device that never ends",
         [](const auto& ini) { std::filesystem::create_symlink("/dev/zero", ini); }, accessError,
         platform::kRuntimeErrorExitCode},
        {"a sparse file of a terabyte",
         [](const auto& ini) {
             std::ofstream(ini) << "CONN_SERVER=Provider=SQLite\r\n";
             std::filesystem::resize_file(ini, std::uintmax_t{1} << 40);
         },
         accessError, platform::kRuntimeErrorExitCode},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path windows = temp.path() / ("windows-" + std::to_string(++index));
        std::filesystem::create_directory(windows);
        c.make(windows / "Quelvomir.INI");

        const StartUp startUp = StartUpIn(windows);

        EXPECT_EQ(startUp.childStatus, 0) << "start-up crashed or hung";
        EXPECT_EQ(startUp.shown, std::vector<Shown>{c.expected});
        EXPECT_FALSE(startUp.loaded);
        EXPECT_TRUE(startUp.ended);
        EXPECT_EQ(startUp.exitCode, c.exitCode);
    }
}

// A file the user running the tool may not read. Root reads anything, so
// when the tests run as root an unprivileged child (nobody) starts up; the
// same child reading a readable copy proves that only the permission differs.
TEST(ConfigurationFaults, AFileTheUserMayNotReadIsARunTimeError) {
    testing_support::TempDir temp;
    ASSERT_EQ(chmod(temp.path().c_str(), 0755), 0);
    const std::filesystem::path readable = temp.path() / "legivel";
    const std::filesystem::path forbidden = temp.path() / "proibido";
    for (const auto& d : {readable, forbidden}) {
        std::filesystem::create_directory(d);
        std::filesystem::permissions(d, std::filesystem::perms(0755));
        temp.write(std::filesystem::relative(d / "Quelvomir.INI", temp.path()),
                   "CONN_SERVER=Provider=Quelvomir.Banco.1\r\n");
    }
    ASSERT_EQ(chmod((readable / "Quelvomir.INI").c_str(), 0644), 0);
    ASSERT_EQ(chmod((forbidden / "Quelvomir.INI").c_str(), 0), 0);
    const std::optional<uid_t> user = geteuid() == 0 ? std::optional<uid_t>(65534) : std::nullopt;

    const StartUp allowed = StartUpIn(readable, user);
    EXPECT_EQ(allowed.childStatus, 0);
    ASSERT_EQ(allowed.shown.size(), 1u);
    EXPECT_EQ(allowed.shown[0].prompt.rfind(kConnectionSentence + "3706 - ", 0), 0u)
        << allowed.shown[0].prompt;

    const StartUp denied = StartUpIn(forbidden, user);
    EXPECT_EQ(denied.childStatus, 0);
    EXPECT_EQ(denied.shown,
              (std::vector<Shown>{{kRuntimeTitle, "Erro em tempo de execução '70':\n\nPermissão negada"}}));
    EXPECT_FALSE(denied.loaded);
    EXPECT_TRUE(denied.ended);
    EXPECT_EQ(denied.exitCode, platform::kRuntimeErrorExitCode);
}

}  // namespace
