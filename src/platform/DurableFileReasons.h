// The operator's words for the common reasons a file cannot be written.
#pragma once

#include <string>

namespace platform {

inline std::string NoFolderReason() { return "a pasta não existe"; }
inline std::string NoPermissionReason() { return "sem permissão para gravar na pasta"; }
inline std::string NoRoomReason() { return "não há espaço livre no disco"; }
inline std::string ExistsReason() { return "já existe um arquivo com esse nome"; }
inline std::string TooLargeReason() { return "o arquivo é grande demais"; }

}  // namespace platform
