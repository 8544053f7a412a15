// 32-bit status codes carried by every failure of the connection layer.
//
// The values are those that ADO and OLE DB providers report on Windows, so that
// the numbers an operator sees (and that stored notes or the IT person may
// search for) are the familiar ones. ADO's own errors live in the control
// facility (0x800A0000 | number).
#pragma once

#include <cstdint>

namespace ado::status {

constexpr std::uint32_t adoError(std::uint32_t number) {
    return 0x800A0000u | number;
}

// ADO's own errors.
constexpr std::uint32_t ItemNotFound = adoError(3265);        // item not in the collection
constexpr std::uint32_t NoCurrentRecord = adoError(3021);     // BOF or EOF
constexpr std::uint32_t ObjectClosed = adoError(3704);        // operation not allowed when closed
constexpr std::uint32_t ObjectOpen = adoError(3705);          // operation not allowed when open
constexpr std::uint32_t ProviderNotFound = adoError(3706);    // provider cannot be found
constexpr std::uint32_t ConnectionUnusable = adoError(3709);  // connection cannot be used
constexpr std::uint32_t InvalidArgument = adoError(3001);     // arguments wrong type, range or conflict

// Generic and storage failures.
constexpr std::uint32_t Unspecified = 0x80004005u;   // E_FAIL
constexpr std::uint32_t OutOfMemory = 0x8007000Eu;   // E_OUTOFMEMORY
constexpr std::uint32_t FileNotFound = 0x80030002u;  // STG_E_FILENOTFOUND
constexpr std::uint32_t AccessDenied = 0x80030005u;  // STG_E_ACCESSDENIED
constexpr std::uint32_t MediumFull = 0x80030070u;    // STG_E_MEDIUMFULL

// OLE DB provider failures.
constexpr std::uint32_t PermissionDenied = 0x80040E09u;      // DB_SEC_E_PERMISSIONDENIED (read-only)
constexpr std::uint32_t ErrorsInCommand = 0x80040E14u;       // DB_E_ERRORSINCOMMAND
constexpr std::uint32_t IntegrityViolation = 0x80040E2Fu;    // DB_E_INTEGRITYVIOLATION
constexpr std::uint32_t AbortLimitReached = 0x80040E31u;     // DB_E_ABORTLIMITREACHED (time-out, lock)
constexpr std::uint32_t NoTable = 0x80040E37u;               // DB_E_NOTABLE
constexpr std::uint32_t AuthenticationFailed = 0x80040E4Du;  // DB_SEC_E_AUTH_FAILED
constexpr std::uint32_t CannotConnect = 0x80040E96u;         // DB_E_CANNOTCONNECT
constexpr std::uint32_t DataCorrupt = 0x80040E48u;           // corrupt or not a database file

// The connection to the database server was lost after it was opened
// (HRESULT_FROM_WIN32(ERROR_NETNAME_DELETED), what a dropped server link
// reports on Windows).
constexpr std::uint32_t ConnectionLost = 0x80070040u;

// Transaction failures.
constexpr std::uint32_t NoTransaction = 0x8004D00Eu;      // XACT_E_NOTRANSACTION
constexpr std::uint32_t TransactionExists = 0x8004D013u;  // XACT_E_XTIONEXISTS
constexpr std::uint32_t CommitFailed = 0x8004D001u;       // XACT_E_COMMITFAILED

}  // namespace ado::status
