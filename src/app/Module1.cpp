#include "Module1.h"
// to be written
