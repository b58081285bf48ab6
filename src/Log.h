// The game's log, "debug.txt" in the working folder: a line a message, the file opened for each
// one and closed again, so that a game that ends in any way has written every line before it.
// It stands below every other room, so that the file and picture rooms log without reaching up
// to Core, whose log this is.
#ifndef ZANDOREL_LOG_H
#define ZANDOREL_LOG_H

#include <string>

class Log final {
public:
    Log() = delete;

    // Empties the log, as a game starts.
    static void start();
    // Appends message and a line end. A log that cannot be written loses the line, and nothing
    // else: the game goes on.
    static void write(const std::string& message);
};

#endif
