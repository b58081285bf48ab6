// The high-score table's rule as the game keeps it, for the end-to-end tests, which hold the
// game's screens and files to it without a copy of their own:
//
//     highscore-rule TABLE SCORE
//
// prints "entered" or "left out", then the table that a game ending with SCORE would write over
// the file TABLE (a missing one reads as no scores). TABLE is only read.
#include "HighScoreTable.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: highscore-rule TABLE SCORE\n", stderr);
        return 2;
    }
    bool entered = false;
    const std::string table = HighScoreTable(argv[1]).rewritten(
        static_cast<int>(std::strtol(argv[2], nullptr, 10)), entered);
    std::printf("%s\n%s", entered ? "entered" : "left out", table.c_str());
    return 0;
}
