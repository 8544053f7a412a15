// Reading and checking the command line: the options, the numbers and lists
// in the order given, and every refusal of a command line that cannot be
// used. Nothing here opens the database or reads a list.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace app::cli {

// The largest group --lote takes.
inline constexpr std::size_t kMaxGroup = 100000;

struct Options {
    bool simular = false, confirmar = false, auditoriaEstrita = false;
    std::string formato = "tabela", ini, copia, restaurar;
    // Examinations committed together (--lote); 1 commits each on its own.
    std::size_t lote = 1;
    // The numbers (--exame, and those after "--") and the lists (--lista) in
    // the order given.
    struct Source {
        bool list = false;
        std::string value;
    };
    std::vector<Source> sources;
};

// Reads argv[1..argc-1] into options. Returns the exit status when the
// command line has been answered already (help, version, a refusal written
// to err), nothing when it asks for a run.
std::optional<int> ParseOptions(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                Options& options);

// Writes a refusal of the command line to err; returns the exit status.
int Refuse(std::ostream& err, const std::string& message);

}  // namespace app::cli
