#include "Displayable.h"

// Everything Displayable does is small enough to live in its header; this file keeps the
// one-pair-per-class layout.
