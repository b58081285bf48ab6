// The setup's helper for a player whose game moves to a folder that already holds a table: the
// two tables become one by the game's own rule, so that the setup never keeps a table the game
// would not have written.
//
//   zandorel-merge-scores <into> <shipped> <moved>
//
// into, which the result replaces, and moved both began as the shipped table and went their own
// ways; the scores moved gained are entered into into. Paths are taken as given: the setup
// passes plain names in a scratch folder, which keeps a folder name in any script out of the C
// library's way. Exit status 0 when into holds the result, 1 when it could not be written, 2
// for a wrong command line.
#include "FileReplace.h"
#include "HighScoreTable.h"

// Its start-up module, as the game's, runs main with no console window flashing up.
#include "SDL.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: zandorel-merge-scores <into> <shipped> <moved>\n", stderr);
        return 2;
    }
    const HighScoreTable into(argv[1]);
    const HighScoreTable shipped(argv[2]);
    const HighScoreTable moved(argv[3]);
    return replaceFile(argv[1], [&] { return into.merged(shipped, moved); }) ? 0 : 1;
}
