// Run-time errors: failures that the program does not handle where they
// happen. They travel up as exceptions to the form's event boundary, which
// ends the program with the run-time error report.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace platform {

// Run-time error numbers of the file and system facilities.
namespace rt {
constexpr std::int32_t BadFileNameOrNumber = 52;
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t BadFileMode = 54;
constexpr std::int32_t FileAlreadyOpen = 55;
constexpr std::int32_t DeviceIOError = 57;
constexpr std::int32_t FileAlreadyExists = 58;
constexpr std::int32_t DiskFull = 61;
constexpr std::int32_t InputPastEndOfFile = 62;
constexpr std::int32_t TooManyFiles = 67;
constexpr std::int32_t DeviceUnavailable = 68;
constexpr std::int32_t PermissionDenied = 70;
constexpr std::int32_t DiskNotReady = 71;
constexpr std::int32_t RenameAcrossDisks = 74;
constexpr std::int32_t PathFileAccessError = 75;
constexpr std::int32_t PathNotFound = 76;
constexpr std::int32_t OutOfMemory = 7;
constexpr std::int32_t InvalidProcedureCall = 5;
}  // namespace rt

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, const std::string& detail)
        : std::runtime_error(detail), number_(number) {}
    std::int32_t number() const { return number_; }

private:
    std::int32_t number_;
};

// The run-time error number for a C library errno value from a file
// operation (ENOENT -> 53, EACCES -> 70, ENOSPC -> 61, ...).
std::int32_t RuntimeErrorFromErrno(int errnoValue);

#ifdef _WIN32
// The run-time error number for a Windows system error code from a file
// operation (ERROR_FILE_NOT_FOUND -> 53, ERROR_PATH_NOT_FOUND -> 76,
// ERROR_ACCESS_DENIED -> 75, ERROR_SHARING_VIOLATION -> 70, ...).
std::int32_t RuntimeErrorFromWin32(std::uint32_t error);
#endif

// The number an error state records for a 32-bit status code: codes of the
// control facility (0x800A0000-0x800AFFFF) as their low 16 bits, every other
// code as its signed 32-bit value.
std::int32_t ErrorNumberFromStatus(std::uint32_t status);

// The number and text that the run-time error report shows for an exception
// that nothing caught (a RuntimeError, a StatusError such as the connection
// layer's, or anything else).
struct ErrorReport {
    std::int32_t number;
    std::string text;
};
ErrorReport DescribeUncaught(const std::exception_ptr& error);

// The prompt of the run-time error report.
std::string RuntimeErrorPrompt(const ErrorReport& report);

}  // namespace platform
