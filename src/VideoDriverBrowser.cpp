// The browser: the screen is the page's canvas, always there, with nothing to wait for.
#include "VideoDriver.h"
#include "VideoDriverDetail.h"

#include <cstdlib>

void video_driver_detail::setEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}

bool acceptVideoDriver() {
    return true;
}
