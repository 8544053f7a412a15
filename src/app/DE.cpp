#include "DE.h"

DE::DE() : conexão_("Provider=SQLOLEDB.1;") {}

DE& DE::Instance() {
    static DE instance;
    return instance;
}
