#include "PowerCutVfs.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "DurableFile.h"

namespace faults {
namespace {

namespace fs = std::filesystem;

constexpr sqlite3_int64 kSector = 512;

std::optional<std::string> readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the recorder knows of one file: its bytes as of its last sync (none
// when it is not on disk for good yet) and the writes since then.
struct Tracked {
    bool sqlite = false;
    std::optional<std::string> durable;
    std::vector<std::pair<sqlite3_int64, sqlite3_int64>> pending;  // offset, length
};

struct Recorder {
    std::string folder;
    std::map<std::string, Tracked> files;
    std::vector<PowerCut> cuts;
    std::map<std::string, int> points;

    bool watches(const char* path) const {
        return path && std::string_view(path).substr(0, folder.size() + 1) == folder + "/";
    }

    Tracked& track(const std::string& path) {
        auto found = files.find(path);
        if (found == files.end()) found = files.emplace(path, Tracked{false, readWhole(path), {}}).first;
        return found->second;
    }

    // The sync's writes torn: every other sector of each written range, and
    // half of the range's last sector; a copy's unflushed tail cut in half.
    static std::optional<std::string> torn(const std::string& path, const Tracked& file) {
        const std::optional<std::string> now = readWhole(path);
        if (!now) return file.durable;
        if (!file.sqlite) {
            const std::string before = file.durable.value_or(std::string());
            if (now->size() <= before.size() || now->compare(0, before.size(), before) != 0) return file.durable;
            return before + now->substr(before.size(), (now->size() - before.size()) / 2);
        }
        if (file.pending.empty()) return file.durable;
        std::string bytes = file.durable.value_or(std::string());
        bytes.resize(now->size());
        for (const auto& [offset, length] : file.pending) {
            const sqlite3_int64 end = std::min<sqlite3_int64>(offset + length, now->size());
            for (sqlite3_int64 at = offset; at < end;) {
                const sqlite3_int64 next = std::min(end, (at / kSector + 1) * kSector);
                const bool last = next == end;
                if ((at / kSector) % 2 == 0 || last) {
                    const sqlite3_int64 count = last ? (next - at + 1) / 2 : next - at;
                    bytes.replace(static_cast<std::size_t>(at), static_cast<std::size_t>(count), *now,
                                  static_cast<std::size_t>(at), static_cast<std::size_t>(count));
                }
                at = next;
            }
        }
        return bytes;
    }

    // The disk as a cut at point leaves it: the unsynced writes lost, and
    // (when there are any) torn.
    std::vector<PowerCut> images(const std::string& point) const {
        PowerCut lost{point + ", perdido", {}}, tornCut{point + ", rasgado", {}};
        for (const auto& [name, file] : files) {
            lost.files[name] = file.durable;
            tornCut.files[name] = torn(name, file);
        }
        const bool differs = tornCut.files != lost.files;
        std::vector<PowerCut> both{std::move(lost)};
        if (differs) both.push_back(std::move(tornCut));
        return both;
    }

    void cut(const std::string& what, const std::string& path) {
        const std::string point =
            what + " " + fs::path(path).filename().string() + " #" + std::to_string(++points[what + path]);
        for (PowerCut& image : images(point)) cuts.push_back(std::move(image));
    }
};

Recorder* recorder = nullptr;
// The copies are flushed on a thread of their own while SQLite writes.
std::mutex recording;
sqlite3_vfs* real = nullptr;

struct File {
    sqlite3_file base;
    sqlite3_file* real;
    std::string* path;  // only for a watched file
};

constexpr int kFileSize = (sizeof(File) + 7) / 8 * 8;

File& self(sqlite3_file* f) { return *reinterpret_cast<File*>(f); }

int xClose(sqlite3_file* f) {
    const int rc = self(f).real->pMethods->xClose(self(f).real);
    delete self(f).path;
    return rc;
}
int xRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
    return self(f).real->pMethods->xRead(self(f).real, data, amount, offset);
}
int xWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    const int rc = self(f).real->pMethods->xWrite(self(f).real, data, amount, offset);
    const std::lock_guard lock(recording);
    if (self(f).path && recorder) recorder->track(*self(f).path).pending.emplace_back(offset, amount);
    return rc;
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    const int rc = self(f).real->pMethods->xTruncate(self(f).real, size);
    const std::lock_guard lock(recording);
    if (self(f).path && recorder) recorder->track(*self(f).path).pending.emplace_back(size, 0);
    return rc;
}
int xSync(sqlite3_file* f, int flags) {
    const std::lock_guard lock(recording);
    if (self(f).path && recorder) recorder->cut("sync", *self(f).path);
    const int rc = self(f).real->pMethods->xSync(self(f).real, flags);
    if (rc == SQLITE_OK && self(f).path && recorder) {
        Tracked& file = recorder->track(*self(f).path);
        file.durable = readWhole(*self(f).path);
        file.pending.clear();
    }
    return rc;
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return self(f).real->pMethods->xFileSize(self(f).real, size);
}
int xLock(sqlite3_file* f, int level) { return self(f).real->pMethods->xLock(self(f).real, level); }
int xUnlock(sqlite3_file* f, int level) { return self(f).real->pMethods->xUnlock(self(f).real, level); }
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return self(f).real->pMethods->xCheckReservedLock(self(f).real, out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return self(f).real->pMethods->xFileControl(self(f).real, op, arg);
}
int xSectorSize(sqlite3_file* f) { return self(f).real->pMethods->xSectorSize(self(f).real); }
int xDeviceCharacteristics(sqlite3_file* f) {
    return self(f).real->pMethods->xDeviceCharacteristics(self(f).real);
}

// Version 1: no shared memory (so no WAL) and no memory mapping, whose
// writes would bypass xWrite.
const sqlite3_io_methods kMethods = {1,     xClose,       xRead,        xWrite,           xTruncate,
                                     xSync, xFileSize,    xLock,        xUnlock,          xCheckReservedLock,
                                     xFileControl, xSectorSize, xDeviceCharacteristics,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    File& file = self(f);
    file.real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kFileSize);
    file.path = nullptr;
    const int rc = real->xOpen(real, name, file.real, flags, outFlags);
    if (rc != SQLITE_OK) {
        file.base.pMethods = nullptr;
        return rc;
    }
    const std::lock_guard lock(recording);
    if (recorder && recorder->watches(name)) {
        file.path = new std::string(name);
        recorder->track(name).sqlite = true;
    }
    file.base.pMethods = &kMethods;
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    const std::lock_guard lock(recording);
    const bool watched = recorder && recorder->watches(name);
    if (watched) recorder->cut("apaga", name);
    const int rc = real->xDelete(real, name, syncDir);
    if (watched && rc == SQLITE_OK) recorder->track(name) = Tracked{true, std::nullopt, {}};
    return rc;
}

int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return real->xAccess(real, name, flags, out); }
int xFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return real->xFullPathname(real, name, size, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) { return real->xDlOpen(real, name); }
void xDlError(sqlite3_vfs*, int size, char* out) { real->xDlError(real, size, out); }
void (*xDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) { return real->xDlSym(real, handle, symbol); }
void xDlClose(sqlite3_vfs*, void* handle) { real->xDlClose(real, handle); }
int xRandomness(sqlite3_vfs*, int size, char* out) { return real->xRandomness(real, size, out); }
int xSleep(sqlite3_vfs*, int micro) { return real->xSleep(real, micro); }
int xCurrentTime(sqlite3_vfs*, double* out) { return real->xCurrentTime(real, out); }
int xGetLastError(sqlite3_vfs*, int size, char* out) { return real->xGetLastError(real, size, out); }
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return real->xCurrentTimeInt64(real, out); }

sqlite3_vfs vfs{};

void copyFlushed(const std::string& path) {
    const std::lock_guard lock(recording);
    if (!recorder || !recorder->watches(path.c_str())) return;
    Tracked& file = recorder->track(path);
    file.durable = readWhole(path);
    file.pending.clear();
}

}  // namespace

PowerCutVfs::PowerCutVfs(std::string folder) {
    if (recorder) throw std::logic_error("one power-cut VFS at a time");
    real = sqlite3_vfs_find(nullptr);
    vfs = {2,       kFileSize + real->szOsFile, real->mxPathname, nullptr,      "powercut",
           nullptr, xOpen,          xDelete,    xAccess,       xFullPathname, xDlOpen,
           xDlError, xDlSym,        xDlClose,   xRandomness,   xSleep,        xCurrentTime,
           xGetLastError, xCurrentTimeInt64, nullptr, nullptr, nullptr};
    recorder = new Recorder{fs::weakly_canonical(folder).string(), {}, {}, {}};
    sqlite3_vfs_register(&vfs, 1);
    platform::SetFileFlushObserver(copyFlushed);
}

PowerCutVfs::~PowerCutVfs() {
    platform::SetFileFlushObserver(nullptr);
    sqlite3_vfs_unregister(&vfs);
    delete recorder;
    recorder = nullptr;
}

std::vector<PowerCut> PowerCutVfs::Cuts() const {
    const std::lock_guard lock(recording);
    std::vector<PowerCut> cuts = recorder->cuts;
    for (PowerCut& image : recorder->images("fim")) cuts.push_back(std::move(image));
    // A file first seen after a cut was not on disk at that cut.
    for (PowerCut& cut : cuts)
        for (const auto& [name, file] : recorder->files) cut.files.try_emplace(name, std::nullopt);
    return cuts;
}

void LayDown(const PowerCut& cut) {
    for (const auto& [name, bytes] : cut.files) {
        std::error_code ignored;
        fs::remove(name, ignored);
        if (bytes) std::ofstream(name, std::ios::binary) << *bytes;
    }
}

}  // namespace faults
