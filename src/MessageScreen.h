// What the three message screens (before a level, game over, the high-score list) share: one
// font, the mermaid behind them, a continue button and the text beside her, all in one place
// so that they stay the same screen and the tests check the layout the game uses.
#ifndef ZANDOREL_MESSAGESCREEN_H
#define ZANDOREL_MESSAGESCREEN_H

namespace messageScreen {

constexpr int fontId = 7;
constexpr const char* fontPicture = "fontblack.bmp";
constexpr const char* background = "mermaid.bmp";

constexpr int continueId = 5;
constexpr const char* continuePicture = "buttoncontinue.bmp";
constexpr int continueX = 150, continueY = 109;

// The text box, or the left edge of the high-score list.
constexpr int textX = 130, textY = 20, textWidth = 114, textHeight = 78;

} // namespace messageScreen

#endif
