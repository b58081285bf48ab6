#include "GameState.h"

// The base state does nothing by itself; its members live in the header.
