// The browser: the page puts two tabs' tables together by the game's own rule, so that it can
// never keep a table the game would not write.
#include "HighScoreTable.h"

#include <emscripten/emscripten.h>

#include <string>

namespace {

bool lastKeptAll = true;

} // namespace

// The three files are the page's copies in memory (web/page.js); the text lasts until the next
// call.
extern "C" EMSCRIPTEN_KEEPALIVE const char*
zandorel_merge_tables(const char* stored, const char* base, const char* mine) {
    static std::string merged;
    merged =
        HighScoreTable(stored).merged(HighScoreTable(base), HighScoreTable(mine), &lastKeptAll);
    return merged.c_str();
}

// Whether the last merge kept every score mine added: 1 or 0.
extern "C" EMSCRIPTEN_KEEPALIVE int zandorel_merge_kept_all() {
    return lastKeptAll ? 1 : 0;
}
