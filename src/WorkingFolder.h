// The game reads its pictures and levels from the folder it is started in. How a player
// chooses that folder differs by platform, and so does the advice for one who did not.
#ifndef ZANDOREL_WORKINGFOLDER_H
#define ZANDOREL_WORKINGFOLDER_H

#include <string>

// What to tell a player who started the game away from its pictures, ending in a line end.
std::string startFolderAdvice();

// Says message (its lines each ending in a line end) where the player sees it: on standard error,
// and on Windows, where a double-clicked game's standard error only reaches stderr.txt, in a
// message box as well, which waits for the player.
void tellPlayer(const std::string& message);

#endif
