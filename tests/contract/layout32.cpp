// Compiled with -m32 only: the contract's own 32-bit offsets.
#include "layout_checks.h"

static_assert(sizeof(void *) == 4, "this file checks the 32-bit layout");
