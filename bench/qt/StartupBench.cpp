// Start-up of the Linux program against a minimal Qt dialog with the same
// three controls, taking turns in one run: the time from fork to the map of
// the process's first top-level window on the X server, and the process's
// resident set then. The program opens a SQLite database of the tests' seed
// data through Quelvomir.INI in a temporary directory named by WINDIR.
//   remover-startup-bench PROGRAM MINIMAL [ROUNDS]      (needs DISPLAY)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ExamDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double ms = -1;
    double residentMiB = 0;
};

// The X connection that watches every top-level window being mapped.
class MapWatcher {
public:
    MapWatcher() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_)) return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        if (reply) pidAtom_ = reply->atom;
        free(reply);
        xcb_flush(connection_);
    }
    ~MapWatcher() { xcb_disconnect(connection_); }
    bool ok() const { return !xcb_connection_has_error(connection_) && pidAtom_ != XCB_NONE; }

    // Waits until a window of process pid is mapped, or until the deadline.
    bool WaitForWindowOf(pid_t pid, Clock::time_point deadline) {
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
                free(event);
                if (mapped && pidOf(window) == pid) return true;
            }
            pollfd fd = {xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&fd, 1, 5);
        }
        return false;
    }

private:
    pid_t pidOf(xcb_window_t window) {
        auto* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        pid_t pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = static_cast<pid_t>(*static_cast<std::uint32_t*>(xcb_get_property_value(reply)));
        free(reply);
        return pid;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t pidAtom_ = XCB_NONE;
};

double ResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

Sample StartOnce(MapWatcher& watcher, const std::string& program) {
    Sample sample;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return sample;
    if (watcher.WaitForWindowOf(pid, start + std::chrono::seconds(20))) {
        sample.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        sample.residentMiB = ResidentMiB(pid);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: remover-startup-bench PROGRAM MINIMAL [ROUNDS]\n");
        return 2;
    }
    const std::string program = std::filesystem::absolute(argv[1]), minimal = std::filesystem::absolute(argv[2]);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    MapWatcher watcher;
    if (!watcher.ok()) {
        std::fprintf(stderr, "remover-startup-bench: no X display (run it under scripts/with-xvfb)\n");
        return 2;
    }

    char pattern[] = "/tmp/remover-startup-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    const std::filesystem::path directory = pattern;
    const std::string connection = testing_support::CreateSqliteExamDatabase(directory / "exames.db");
    std::ofstream(directory / "Quelvomir.INI") << "[Quelvomir]\r\nCONN_SERVER=" << connection << "\r\n";
    setenv("WINDIR", directory.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    // One start of each first, not counted: the loader's and the font caches.
    StartOnce(watcher, program);
    StartOnce(watcher, minimal);
    std::vector<double> times[2], sets[2];
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int which : {round % 2, 1 - round % 2}) {
            const Sample sample = StartOnce(watcher, which == 0 ? program : minimal);
            if (sample.ms < 0) {
                ++failures;
                continue;
            }
            times[which].push_back(sample.ms);
            sets[which].push_back(sample.residentMiB);
        }
    }
    std::filesystem::remove_all(directory);

    const double programMs = Median(times[0]), minimalMs = Median(times[1]);
    std::printf("rounds: %d, taking turns (medians)\n", rounds);
    std::printf("remover-exame:  %8.1f ms to a mapped window, resident set %6.1f MiB\n", programMs,
                Median(sets[0]));
    std::printf("minimal dialog: %8.1f ms to a mapped window, resident set %6.1f MiB\n", minimalMs,
                Median(sets[1]));
    std::printf("ratio: %.2fx (goal: at most 1.2x)\n", minimalMs > 0 ? programMs / minimalMs : 0.0);
    if (failures) std::printf("%d starts showed no window\n", failures);
    return failures ? 1 : 0;
}
