// Files that must be on disk before the program goes on: written whole,
// readable and writable by their owner only, flushed with their folder.
//
// Copies of removed rows hold patient data and must survive a crash that
// follows the removal's commit, so the write is finished and flushed (the file
// and the folder entry that names it) before the caller commits.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Why a file could not be written or read, in the operator's words
// (Portuguese), and the system's own error number for standard error.
struct FileFailure {
    int systemError = 0;
    std::string reason;
};

// Creates path holding bytes, owner-only whatever the umask, and flushes the
// file and its folder. replace false: path must not exist yet, and a symbolic
// link at path is never followed. replace true: the bytes go to a new
// temporary file beside path, which is then renamed over path, so path holds
// either the old content or the new one, never a mix. On failure nothing is
// left behind but what was there before. syncFolder false leaves out the
// flush of the folder: the content is on disk before the rename, but after a
// crash path may still hold the old content (for updates that may be lost).
bool WriteFileDurably(const std::string& path, std::string_view bytes, bool replace, FileFailure& failure,
                      bool syncFolder = true);

// Appends bytes to path, an existing file, never following a symbolic link
// at path; sync true flushes the file before returning (its name is already
// on disk since its creation). A crash before the flush may keep any part of
// bytes, or none: a reader must tell a torn end from a whole one.
bool AppendToFile(const std::string& path, std::string_view bytes, bool sync, FileFailure& failure);

// Tests only: called with the file's path each time a file's content has
// been flushed to disk (by WriteFileDurably or AppendToFile), so that a test
// can know what a power cut would leave. Null (the default) calls nothing.
using FileFlushObserver = void (*)(const std::string& path);
void SetFileFlushObserver(FileFlushObserver observer);

// The whole content of a regular file of at most limit bytes.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit, FileFailure& failure);

}  // namespace platform
