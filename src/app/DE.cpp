#include "DE.h"

DE::DE() : connection_("Provider=SQLOLEDB.1;") {}

DE& DE::Instance() {
    static DE instance;
    return instance;
}
