// A SQLite VFS over the system's own that keeps, for the files of one folder,
// what a power cut would leave on disk: at each sync point (a file's sync, a
// file's deletion) it takes the image of every file as of its last sync,
// once with the writes since then lost and once with them torn (every other
// sector of them written, the last one half). Copies of removed rows are not
// SQLite's: their image is taken as of their last flush (seen through the
// durable-file layer's flush observer), and torn too.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace faults {

// What the disk holds after one cut: each file's bytes, or nullopt when the
// file is not there.
struct PowerCut {
    std::string point;  // e.g. "sync exames.db-journal #3, perdido"
    std::map<std::string, std::optional<std::string>> files;
};

// While alive, the VFS is SQLite's default and watches the files in folder
// (a database and its journal, the copies written there or below).
class PowerCutVfs {
public:
    explicit PowerCutVfs(std::string folder);
    ~PowerCutVfs();
    PowerCutVfs(const PowerCutVfs&) = delete;
    PowerCutVfs& operator=(const PowerCutVfs&) = delete;

    // The cuts taken so far, in order, and the end (the program done, what
    // it did not sync lost or torn).
    std::vector<PowerCut> Cuts() const;
};

// Puts the files of a cut on disk, removing the watched files it does not hold.
void LayDown(const PowerCut& cut);

}  // namespace faults
