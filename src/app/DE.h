// The data environment: the program-wide owner of the one database
// connection, created on first use and kept for the whole run.
#pragma once

#include "ado/Connection.h"

class DE {
public:
    static DE& Instance();

    // The program's connection. Start-up opens it; nothing closes it.
    ado::Connection& Conexão_Atual() { return connection_; }

private:
    DE();
    ado::Connection connection_;
};
