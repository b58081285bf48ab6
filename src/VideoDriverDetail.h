// What the platforms' video driver files share (defined in VideoDriver.cpp) and what each of
// them supplies. Included by those files alone: the game's classes see VideoDriver.h.
#ifndef ZANDOREL_VIDEODRIVERDETAIL_H
#define ZANDOREL_VIDEODRIVERDETAIL_H

#include <string>

namespace video_driver_detail {

std::string environment(const char* name);
// Supplied by each platform's file.
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

} // namespace video_driver_detail

#endif
