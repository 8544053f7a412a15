#include "frmPrincipal.h"
