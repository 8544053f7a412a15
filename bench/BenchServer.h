// The benches' MariaDB server, as a clinic runs one: the server's own
// default buffer pool (the tests' private servers make do with 16 MB), the
// examinations loaded, and the tables' statistics taken after the load, as a
// database in use has them (without, the planner of a freshly loaded server
// may scan whole tables for a statement that reads two rows).
#pragma once

#include <memory>

#include "MariaDbServer.h"

namespace bench {

// Examinations 1 to `examinations`, live and, with twins, in the backup
// tables too, filled as bench::buildDatabase fills SQLite.
std::unique_ptr<testing_support::MariaDbServer> StartLoadedServer(long examinations, bool twins = true);

}  // namespace bench
