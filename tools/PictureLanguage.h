// The picture language: a picture source written as text (graphics/*.pic), run command by command
// onto a canvas.
//
// A source is a list of drawing commands, one a line; "#" starts a comment. Coordinates are pixels
// from the top-left corner, shifted by the current origin. The canvas starts transparent, that is
// magenta (255, 0, 255), the colour the game keys out.
//
//   size W H                         new canvas, all transparent
//   color NAME R G B                 names a colour; one-character names are used by pixel blocks.
//                                    "clear" is predefined as the transparent magenta.
//   origin X Y                       offset added to every later coordinate (absolute, not summed)
//   include FILE                     runs the commands of another file (path relative to this one)
//   place FILE X Y                   draws the finished picture of another source over this canvas,
//                                    its transparent pixels leaving the canvas as it is
//   fill COLOR                       the whole canvas
//   rect X Y W H COLOR               filled rectangle
//   frame X Y W H COLOR              one-pixel outline of a rectangle
//   rrect X Y W H COLOR              filled rectangle with its four corner pixels left out
//   line X0 Y0 X1 Y1 COLOR           straight line
//   ellipse CX CY RX RY COLOR        filled ellipse
//   ring CX CY RX RY COLOR           one-pixel outline of an ellipse
//   bands X Y W H C1 C2 N            N horizontal bands of equal height blending from C1 to C2
//   recolor X Y W H FROM C1 C2       inside the rectangle, pixels of colour FROM become a vertical
//                                    blend from C1 (top row) to C2 (bottom row)
//   glyphs FILE                      loads the pixel font used by text, ctext and fontstrip
//   text X Y COLOR "TEXT" [OPTIONS]  draws text with the loaded glyphs; OPTIONS are any of
//                                    scale N | edge COLOR N | shadow COLOR DX DY
//   ctext CX Y COLOR "TEXT" [OPTIONS]
//                                    the same, centred on column CX
//   fontstrip "CHARS" CW CH DX DY COLOR [OPTIONS]
//                                    new canvas of one CW x CH cell per character, side by side,
//                                    each glyph drawn at (DX, DY) in its cell with the text OPTIONS
//   pixels X Y [scale N]             pixel art: the following lines up to "end" are rows of
//                                    one-character colour names; "." leaves the canvas unchanged.
//                                    Each pixel becomes an N x N square (default: pixelscale).
//   pixelscale N                     default scale of later pixel blocks (1 at the start), so
//                                    that one included sprite can be drawn at several sizes
//
// The glyph file holds "glyphsize W H" and then, for each character, a line "glyph C" followed by
// H rows of W characters, "#" for ink and "." for empty.
#ifndef ZANDOREL_TOOLS_PICTURELANGUAGE_H
#define ZANDOREL_TOOLS_PICTURELANGUAGE_H

#include "Canvas.h"

#include <cstddef>
#include <istream>
#include <map>
#include <string>
#include <vector>

struct Glyph {
    std::vector<std::string> rows;
};

// Runs one source file (and the files it includes); throws Error, naming the file and line, at
// the first command it cannot run.
class Painter {
public:
    void run(const std::string& path);
    const Canvas& canvas() const { return canvas_; }

private:
    Canvas canvas_;
    std::map<std::string, Color> colors_{{"clear", Color{}}};
    std::map<char, Glyph> glyphs_;
    int glyphW_ = 0;
    int glyphH_ = 0;
    int originX_ = 0;
    int originY_ = 0;
    int pixelScale_ = 1;

    void command(const std::vector<std::string>& w, std::istream& in, const std::string& path,
                 int& lineNo);
    int num(const std::string& s) const;
    Color color(const std::string& name) const;
    static std::string unquote(const std::string& s);
    void need(const std::vector<std::string>& w, std::size_t n) const;
    void requireCanvas() const;
    void rect(int x, int y, int w, int h, const Color& c);
    void ellipse(int cx, int cy, int rx, int ry, const Color& c, bool outlineOnly);
    void line(int x0, int y0, int x1, int y1, const Color& c);
    void loadGlyphs(const std::string& path);
    void text(int x, int y, const std::string& s, const std::vector<std::string>& w,
              std::size_t firstOption, bool centred);
    void fontstrip(const std::vector<std::string>& w);
    int textWidth(const std::string& s, int scale) const;
    std::vector<std::vector<bool>> textMask(const std::string& s, int scale) const;
};

#endif
