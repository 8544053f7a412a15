// Whether an examination is in the database, as the removal and its preview
// both ask before anything else.
#pragma once

#include <optional>
#include <string>

namespace ado {
class Connection;
}
class clsADO;

namespace removal {

// Counts the examination's rows in Exame and, when it has none there, in
// Exame_BK: true when either holds one. Nothing when a count fails; ado then
// holds the error.
std::optional<bool> FindExamination(clsADO& ado, ado::Connection& connection, const std::string& numeroExame);

}  // namespace removal
