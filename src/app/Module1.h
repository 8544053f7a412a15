// The program-wide settings and the reader of the host product's
// configuration file.
#pragma once

#include <string>

namespace Module1 {

// Filled once at start-up, then only read.
extern std::string gDirWindows;  // the Windows directory, upper case on Windows, ending with a separator
extern std::string gConnServer;  // CONN_SERVER: the connection string of the host product's database
extern std::string gConnLocal;   // CONN_LOCAL
extern std::string gDirSvr;      // DIR_SVR, ending with a backslash when present
// AUDITORIA_ESTRITA: no removal is committed without its audit record. Any
// value but 0 turns it on, so that a mistyped value never turns it off.
extern bool gAuditoriaEstrita;
// REMOVER_COPIAS: the folder where each removal keeps a copy of the rows it
// removes; empty keeps none.
extern std::string gRemoverCopias;

// The directory that holds the host product's configuration file, ending with
// the platform's separator. Throws platform::RuntimeError when there is none.
std::string RetornarDiretórioWindows();

// Reads the configuration file into the settings; true when read to its end.
// Lines end in CR LF, LF or CR; a UTF-8 byte-order mark is skipped; the file
// is taken as UTF-8 when all of it is valid UTF-8, otherwise as Windows-1252,
// and the settings hold UTF-8. A file that cannot be opened or read throws
// platform::RuntimeError (53, 70, 75, 76, 57, ...), and so does a file larger
// than 16 MiB (75), which no configuration file is; a setting line longer
// than 1 MiB (7), the bound that keeps a hostile file from using unbounded
// memory, does too.
bool LerConfiguração(const std::string& Arquivo);

// The value that Linha sets for Chave, or empty text.
std::string RetornarValorChave(std::string Linha, const std::string& Chave, bool Diretório);

}  // namespace Module1
