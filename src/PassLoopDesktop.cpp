// Linux and Windows: the loop runs as fast as the machine allows, and never sleeps.
#include "PassLoop.h"

void runPasses(const std::function<bool()>& pass, const std::function<void()>& finish) {
    while (pass()) {
    }
    finish();
}
