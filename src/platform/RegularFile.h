// Opening the files the program reads (the configuration file, lists of
// numbers) by their UTF-8 names, and an anonymous scratch file.
//
// Only a regular file is opened: a directory, a named pipe (opening it would
// wait for a writer for ever), a device (an endless one never ends; a null
// one passes for an empty file), a console or a socket is refused before
// anything is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct RegularFile {
    enum class Failure {
        None,
        CannotOpen,     // error holds the errno value
        CannotExamine,  // error holds the errno value
        NotRegular,
        TooLarge,  // larger than the caller's bound
    };
    FileHandle file;  // open for reading in binary mode when failure is None
    Failure failure = Failure::None;
    int error = 0;
};

// Opens path for reading when it names a regular file no larger than
// maxSize bytes.
RegularFile OpenRegularFile(const std::string& path,
                            std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max());

// A new, empty file for reading and writing that nobody else can name and
// that goes away when it is closed (or the program ends); null, with errno
// set, when none can be made.
FileHandle OpenScratchFile();

}  // namespace platform
