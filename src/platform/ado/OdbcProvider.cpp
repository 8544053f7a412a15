#include "Providers.h"
#include "AdoError.h"
#include "StatusCodes.h"
namespace ado {
std::unique_ptr<Session> OpenOdbcSession(ProviderKind, const std::vector<ConnectionProperty>&) {
    throw AdoError(status::ProviderNotFound, "ODBC provider not built yet");
}
}  // namespace ado
