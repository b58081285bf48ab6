// The game reads its pictures and levels from the folder it is started in. How a player
// chooses that folder differs by platform, and so does the advice for one who did not.
#ifndef ZANDOREL_WORKINGFOLDER_H
#define ZANDOREL_WORKINGFOLDER_H

#include <string>

// What to tell a player who started the game away from its pictures, ending in a line end.
std::string startFolderAdvice();

#endif
