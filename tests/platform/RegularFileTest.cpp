// What OpenRegularFile opens and what it refuses, on each system's own kinds
// of names; on Windows every device and pipe name is also refused as a
// SQLite Data Source ("not a regular file"), and none of them waits, not even
// a pipe whose server never answers.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "RegularFile.h"
#include "TempDir.h"
#include "ado/AdoError.h"
#include "ado/Connection.h"
#include "ado/StatusCodes.h"

namespace {

using Failure = platform::RegularFile::Failure;

struct Case {
    std::string name;
    Failure expected;
};

TEST(RegularFile, OpensOnlyRegularFiles) {
    testing_support::TempDir dir;
    const std::string regular = dir.write("lista ção.txt", "1001\n");
    std::vector<Case> cases = {
        {regular, Failure::None},
        {dir.file("faltando.txt"), Failure::CannotOpen},
    };
    std::vector<std::string> devices;
#ifdef _WIN32
    // A pipe server of the test's own that never connects nor answers.
    const std::string pipe = "\\\\.\\pipe\\remover-exame-teste-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 4,
                                     4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    devices = {"COM1",     "NUL",     "nul.db", "C:\\NUL", "\\\\.\\NUL", "\\\\?\\GLOBALROOT\\Device\\Null",
               "\\\\.\\PhysicalDrive0", pipe, "CONIN$", "CONOUT$", "//./pipe/x", dir.file("COM3.txt")};
    cases.push_back({"\\\\?\\" + regular, Failure::None});
    // Under Wine, Z: is the Unix root: devices whose names say nothing, which
    // only the handle's type gives away.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        for (const char* device : {"Z:\\dev\\null", "Z:\\dev\\zero"}) devices.push_back(device);
#else
    const std::string fifo = dir.file("fila");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    devices = {"/dev/null", "/dev/zero", fifo, dir.path().string()};
#endif
    for (const std::string& device : devices) cases.push_back({device, Failure::NotRegular});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::RegularFile opened = platform::OpenRegularFile(c.name);
        EXPECT_EQ(static_cast<int>(opened.failure), static_cast<int>(c.expected));
        EXPECT_EQ(opened.file != nullptr, c.expected == Failure::None);
        if (c.expected == Failure::CannotOpen) {
            EXPECT_EQ(opened.error, ENOENT);
        }
        char text[16] = {};
        if (opened.file) {
            EXPECT_EQ(std::fread(text, 1, sizeof text, opened.file.get()), 5u);
        }
    }
#ifdef _WIN32
    for (const std::string& device : devices) {
        SCOPED_TRACE(device);
        ado::Connection connection("Provider=SQLite;Data Source=" + device);
        std::uint32_t status = 0;
        try {
            connection.Open();
        } catch (const ado::AdoError& e) {
            status = e.status();
        }
        EXPECT_EQ(status, ado::status::CannotConnect);
    }
    CloseHandle(server);
#endif
}

}  // namespace
