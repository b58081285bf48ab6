// Whether the video driver the media library started can show the game. Which drivers a
// desktop offers, and whether a display that refuses at first is worth waiting for, differ by
// platform; the game's classes see only these two calls.
#ifndef ZANDOREL_VIDEODRIVER_H
#define ZANDOREL_VIDEODRIVER_H

// Sets the media library's video defaults the game relies on; call before it starts.
void chooseVideoDefaults();

// Call once the video subsystem has started. True when the driver that started shows a
// window, after waiting a moment for a display that refuses at first where that can help;
// otherwise false, with the reason on standard error and in the log, and the video subsystem
// shut down so that no invisible driver goes on drawing.
bool acceptVideoDriver();

#endif
