// The browser: the page puts two tabs' tables together by the game's own rule, so that it can
// never keep a table the game would not write.
#include "HighScoreTable.h"

#include <emscripten/emscripten.h>

#include <string>

// The three files are the page's copies in memory (web/page.js); the text lasts until the next
// call.
extern "C" EMSCRIPTEN_KEEPALIVE const char*
zandorel_merge_tables(const char* stored, const char* base, const char* mine) {
    static std::string merged;
    merged = HighScoreTable(stored).merged(HighScoreTable(base), HighScoreTable(mine));
    return merged.c_str();
}

// Whether the table a save left (now, made from earlier) holds the score a rewrite (before to
// after) added: 1 or 0.
extern "C" EMSCRIPTEN_KEEPALIVE int zandorel_keeps(const char* now, const char* earlier,
                                                   const char* before, const char* after) {
    return HighScoreTable(now).keeps(HighScoreTable(earlier), HighScoreTable(before),
                                     HighScoreTable(after))
               ? 1
               : 0;
}
