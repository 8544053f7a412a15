// The network connections that a library (an ODBC driver) opens on the
// program's behalf, so that one that stopped answering can be cut from
// another thread when the wait the operator was promised is over.
#pragma once

#include <vector>

namespace platform {

// The descriptors of the process's connected TCP sockets that it opened
// itself (not the ones it accepted from a listening socket). Empty where the
// system cannot list them (Windows).
std::vector<int> ClientSockets();

// Shuts each socket down for reading and writing: a thread blocked on it
// sees the end of the connection at once. The descriptors stay open; their
// owner closes them.
void ShutDownSockets(const std::vector<int>& sockets);

}  // namespace platform
