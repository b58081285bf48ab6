// The browser's display is the page's canvas: always there, nothing to choose or wait for.
#include "Display.h"

void chooseVideoDefaults() {}

bool openDisplay() {
    return true;
}
