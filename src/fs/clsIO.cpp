#include "clsIO.h"
// to be written
