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

// The directory that holds the host product's configuration file, ending with
// the platform's separator. Throws platform::RuntimeError when there is none.
std::string RetornarDiretórioWindows();

// Reads the configuration file into the settings; true when read to its end.
// A file that cannot be opened or read throws platform::RuntimeError.
bool LerConfiguração(const std::string& Arquivo);

// The value that Linha sets for Chave, or empty text.
std::string RetornarValorChave(std::string Linha, const std::string& Chave, bool Diretório);

}  // namespace Module1
