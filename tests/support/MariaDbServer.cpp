#include "MariaDbServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartSeconds = 30;  // a loaded machine may need more than the usual second
constexpr int kInstallSeconds = 60;
constexpr int kClientSeconds = 30;
constexpr int kStopSeconds = 10;

// The program's full path: PATH first, then the sbin directories where
// Debian puts mariadbd and that an ordinary user's PATH may lack.
std::string findProgram(const std::string& name) {
    std::vector<std::string> directories;
    if (const char* path = std::getenv("PATH")) {
        std::stringstream list(path);
        for (std::string d; std::getline(list, d, ':');)
            if (!d.empty()) directories.push_back(d);
    }
    for (const char* d : {"/usr/sbin", "/usr/local/sbin", "/sbin", "/usr/bin"}) directories.emplace_back(d);
    for (const auto& d : directories) {
        const std::string candidate = d + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    throw std::runtime_error(name + " not found: install the MariaDB server and client (scripts/setup)");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tail(const std::string& text, std::size_t count = 2000) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

// Starts program with args, its output (standard output and error) going to
// outputPath, and with extraEnvironment added to ours. The child dies with
// the test process, so a crashed test leaves no server behind.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, const std::string& outputPath,
            const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> environmentText(extraEnvironment);
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool overridden = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                                            [&](const std::string& x) { return x.rfind(name, 0) == 0; });
        if (!overridden) environmentText.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : environmentText) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(126);
        const int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Waits for pid to end, at most seconds; kills it on time-out. Returns the
// exit code (or 128 + signal), or -1 on time-out.
int waitFor(pid_t pid, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0) return -2;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot find a free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool socketAccepts(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

}  // namespace

MariaDbServer& MariaDbServer::Shared() {
    static std::unique_ptr<MariaDbServer> instance;
    static std::string failure;
    if (instance) return *instance;
    if (!failure.empty()) throw std::runtime_error(failure);
    try {
        instance = std::make_unique<MariaDbServer>();
    } catch (const std::exception& e) {
        failure = e.what();
        throw;
    }
    return *instance;
}

MariaDbServer::MariaDbServer() : MariaDbServer(std::vector<std::string>{}) {}

MariaDbServer::MariaDbServer(std::vector<std::string> serverOptions)
    : serverOptions_(std::move(serverOptions)), password_("Senha;de}teste=1") {
    const std::string data = dir_.file("data");
    const std::string installLog = dir_.file("install.log");
    // The bootstrap server makes temporary tables in TMPDIR; with a shared
    // /tmp, installs of tests running side by side trip over each other.
    std::filesystem::create_directories(dir_.file("tmp"));
    const int installed = waitFor(spawn(findProgram("mariadb-install-db"),
                                        {"--no-defaults", "--auth-root-authentication-method=normal",
                                         "--skip-test-db", "--user=root", "--datadir=" + data},
                                        installLog, {"TMPDIR=" + dir_.file("tmp")}),
                                  kInstallSeconds);
    if (installed != 0)
        throw std::runtime_error("mariadb-install-db failed (" + std::to_string(installed) +
                                 "): " + tail(readFile(installLog)));
    // Hide the password from the client before it is set: until then root has none.
    const std::string realPassword = password_;
    password_.clear();
    try {
        Start();
        RunSql("ALTER USER 'root'@'localhost' IDENTIFIED BY '" + realPassword +
               "';"
               "ALTER USER IF EXISTS 'root'@'127.0.0.1' IDENTIFIED BY '" +
               realPassword +
               "';"
               "ALTER USER IF EXISTS 'root'@'::1' IDENTIFIED BY '" +
               realPassword +
               "';"
               "CREATE DATABASE " +
               database_ + " CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;");
        password_ = realPassword;
    } catch (...) {
        Stop();
        throw;
    }
}

MariaDbServer::~MariaDbServer() {
    Stop();
}

std::string MariaDbServer::socketPath() const {
    return dir_.file("sock");
}

void MariaDbServer::Start() {
    if (Running()) return;
    // A restarted server keeps its port, so connection strings made before
    // the restart still name it.
    if (port_ == 0) port_ = freePort();
    launch();
    waitUntilReady();
}

void MariaDbServer::launch() {
    std::error_code ignored;
    std::filesystem::remove(socketPath(), ignored);
    std::filesystem::create_directories(dir_.file("tmp"));
    std::vector<std::string> options = {"--no-defaults", "--user=root", "--datadir=" + dir_.file("data"),
                  "--socket=" + socketPath(), "--port=" + std::to_string(port_), "--bind-address=127.0.0.1",
                  "--skip-name-resolve", "--pid-file=" + dir_.file("mariadbd.pid"),
                  "--log-error=" + dir_.file("error.log"), "--tmpdir=" + dir_.file("tmp"),
                  "--innodb-buffer-pool-size=16M", "--skip-log-bin", "--character-set-server=utf8mb4",
                  "--collation-server=utf8mb4_unicode_ci", "--default-storage-engine=InnoDB"};
    options.insert(options.end(), serverOptions_.begin(), serverOptions_.end());
    pid_ = spawn(findProgram("mariadbd"), options, dir_.file("mariadbd.out"));
}

void MariaDbServer::waitUntilReady() {
    const auto deadline = Clock::now() + std::chrono::seconds(kStartSeconds);
    while (!socketAccepts(socketPath())) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("mariadbd ended at start-up: " + tail(readFile(dir_.file("error.log"))));
        }
        if (Clock::now() >= deadline) {
            Kill();
            throw std::runtime_error("mariadbd did not start within " + std::to_string(kStartSeconds) +
                                     " seconds: " + tail(readFile(dir_.file("error.log"))));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void MariaDbServer::Kill() {
    if (!Running()) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void MariaDbServer::Stop() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    if (waitFor(pid_, kStopSeconds) == -2) {
        // Already reaped elsewhere; nothing left to wait for.
    }
    pid_ = -1;
}

std::string MariaDbServer::ConnectionString(int port) const {
    std::string quoted;
    for (char c : password_) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=" +
           std::to_string(port ? port : port_) + ";Database=" + database_ + ";User=root;Password=\"" +
           quoted + "\"";
}

std::string MariaDbServer::RunSql(const std::string& sql) const {
    static int counter = 0;
    const std::string outputPath = dir_.file("client-" + std::to_string(++counter) + ".out");
    std::vector<std::string> args{"--no-defaults",       "--socket=" + socketPath(),
                                  "--user=root",         "--batch",
                                  "--skip-column-names", "--default-character-set=utf8mb4"};
    // The database does not exist before the constructor has made it.
    if (!password_.empty()) args.push_back("--database=" + database_);
    args.push_back("--execute=" + sql);
    std::vector<std::string> environment;
    if (!password_.empty()) environment.push_back("MYSQL_PWD=" + password_);
    const int code = waitFor(spawn(findProgram("mariadb"), args, outputPath, environment), kClientSeconds);
    std::string output = readFile(outputPath);
    std::error_code ignored;
    std::filesystem::remove(outputPath, ignored);
    if (code != 0)
        throw std::runtime_error("mariadb client failed (" + std::to_string(code) + ") on: " + sql + "\n" +
                                 output);
    return output;
}

}  // namespace testing_support
