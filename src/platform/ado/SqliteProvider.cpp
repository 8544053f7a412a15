#include "Providers.h"
#include "AdoError.h"
#include "StatusCodes.h"
namespace ado {
std::unique_ptr<Session> OpenSqliteSession(const std::vector<ConnectionProperty>&) {
    throw AdoError(status::ProviderNotFound, "SQLite provider not built yet");
}
}  // namespace ado
