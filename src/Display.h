// Finding a screen for the window. Which video drivers a desktop offers, and whether a display
// that refuses at first is worth waiting for, differ by platform; the game's classes see only
// the first three calls.
#ifndef ZANDOREL_DISPLAY_H
#define ZANDOREL_DISPLAY_H

#include <string>

// Sets the media library's video defaults the game relies on; call before it starts.
void chooseVideoDefaults();

// Call once the video subsystem has started. True when the driver that started shows a
// window, after waiting a moment for a display that refuses at first where that can help;
// otherwise false, with the reason on standard error and in the log, and the video subsystem
// shut down so that no invisible driver goes on drawing.
bool openDisplay();

// What to tell a player who started the game away from its pictures.
std::string startFolderAdvice();

// Shared by the platforms' files.
namespace display_detail {

std::string environment(const char* name);
void setEnvironment(const char* name, const char* value);
// True when SDL_VIDEODRIVER (one name, or a comma-separated list for the layer over SDL2)
// names driver.
bool namedByUser(const std::string& driver);
// The name of the video driver that started; empty when none did.
std::string videoDriver();
// A driver that shows nothing to a person counts only when the player asked for it by name.
bool showsWindow(const std::string& driver);
// Logs one more try at a display that has not answered yet.
void logRetry(const std::string& driver);
// Logs and says on standard error why there is no window, then shuts the video subsystem down.
void refuse(const std::string& reason, const std::string& advice, const std::string& driver);

} // namespace display_detail

#endif
