#include "PictureLanguage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Splits a command line into words; a word in double quotes may hold spaces.
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) {
                throw Error("unterminated string");
            }
            words.push_back(line.substr(i, end - i + 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' &&
                   line[end] != '\r') {
                ++end;
            }
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

int Painter::num(const std::string& s) const {
    try {
        size_t used = 0;
        int v = std::stoi(s, &used);
        if (used != s.size()) {
            throw Error("");
        }
        return v;
    } catch (const std::exception&) {
        throw Error("not a number: " + s);
    }
}

Color Painter::color(const std::string& name) const {
    auto it = colors_.find(name);
    if (it == colors_.end()) {
        throw Error("unknown colour: " + name);
    }
    return it->second;
}

std::string Painter::unquote(const std::string& s) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') {
        throw Error("expected a quoted string: " + s);
    }
    return s.substr(1, s.size() - 2);
}

void Painter::need(const std::vector<std::string>& w, size_t n) const {
    if (w.size() < n + 1) {
        throw Error("'" + w[0] + "' needs " + std::to_string(n) + " arguments");
    }
}

void Painter::requireCanvas() const {
    if (canvas_.width == 0) {
        throw Error("drawing before 'size'");
    }
}

void Painter::rect(int x, int y, int w, int h, const Color& c) {
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            canvas_.set(x + i, y + j, c);
        }
    }
}

// A pixel belongs to the ellipse when its centre lies inside it; the outline is the set of
// inside pixels with a 4-neighbour outside.
void Painter::ellipse(int cx, int cy, int rx, int ry, const Color& c, bool outlineOnly) {
    auto inside = [&](int px, int py) {
        double dx = (px - cx) / (rx + 0.5);
        double dy = (py - cy) / (ry + 0.5);
        return dx * dx + dy * dy <= 1.0;
    };
    for (int py = cy - ry; py <= cy + ry; ++py) {
        for (int px = cx - rx; px <= cx + rx; ++px) {
            if (!inside(px, py)) {
                continue;
            }
            if (outlineOnly && inside(px - 1, py) && inside(px + 1, py) && inside(px, py - 1) &&
                inside(px, py + 1)) {
                continue;
            }
            canvas_.set(px, py, c);
        }
    }
}

void Painter::line(int x0, int y0, int x1, int y1, const Color& c) {
    int dx = std::abs(x1 - x0);
    int dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1;
    int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (true) {
        canvas_.set(x0, y0, c);
        if (x0 == x1 && y0 == y1) {
            break;
        }
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Painter::loadGlyphs(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw Error("cannot open glyph file " + path);
    }
    glyphs_.clear();
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::vector<std::string> w = splitWords(line);
        if (w.empty()) {
            continue;
        }
        if (w[0] == "glyphsize" && w.size() == 3) {
            glyphW_ = num(w[1]);
            glyphH_ = num(w[2]);
        } else if (w[0] == "glyph" && w.size() == 2 && w[1].size() == 1) {
            if (glyphW_ <= 0 || glyphH_ <= 0) {
                throw Error(path + ": 'glyph' before 'glyphsize'");
            }
            Glyph g;
            for (int r = 0; r < glyphH_; ++r) {
                std::string row;
                if (!std::getline(in, row)) {
                    throw Error(path + ": glyph " + w[1] + " is cut short");
                }
                ++lineNo;
                if (!row.empty() && row.back() == '\r') {
                    row.pop_back();
                }
                if (static_cast<int>(row.size()) != glyphW_ ||
                    row.find_first_not_of("#.") != std::string::npos) {
                    throw Error(path + ":" + std::to_string(lineNo) + ": bad glyph row");
                }
                g.rows.push_back(row);
            }
            glyphs_[w[1][0]] = g;
        } else {
            throw Error(path + ":" + std::to_string(lineNo) + ": unknown line");
        }
    }
}

int Painter::textWidth(const std::string& s, int scale) const {
    if (s.empty()) {
        return 0;
    }
    return (static_cast<int>(s.size()) * (glyphW_ + 1) - 1) * scale;
}

// Ink of the text at its final size; characters without a glyph (the space) stay empty.
std::vector<std::vector<bool>> Painter::textMask(const std::string& s, int scale) const {
    int w = textWidth(s, scale);
    int h = glyphH_ * scale;
    std::vector<std::vector<bool>> mask(h, std::vector<bool>(w, false));
    for (size_t i = 0; i < s.size(); ++i) {
        auto it = glyphs_.find(s[i]);
        if (it == glyphs_.end()) {
            if (s[i] != ' ') {
                throw Error(std::string("no glyph for '") + s[i] + "'");
            }
            continue;
        }
        for (int r = 0; r < glyphH_; ++r) {
            for (int c = 0; c < glyphW_; ++c) {
                if (it->second.rows[r][c] != '#') {
                    continue;
                }
                for (int j = 0; j < scale; ++j) {
                    for (int k = 0; k < scale; ++k) {
                        mask[r * scale + j][(static_cast<int>(i) * (glyphW_ + 1) + c) * scale + k] =
                            true;
                    }
                }
            }
        }
    }
    return mask;
}

void Painter::text(int x, int y, const std::string& s, const std::vector<std::string>& w,
                   size_t firstOption, bool centred) {
    if (glyphs_.empty()) {
        throw Error("text before 'glyphs'");
    }
    Color ink = color(w[3]);
    int scale = 1;
    bool hasEdge = false;
    Color edge;
    int edgeWidth = 0;
    bool hasShadow = false;
    Color shadow;
    int shadowDx = 0;
    int shadowDy = 0;
    for (size_t i = firstOption; i < w.size();) {
        if (w[i] == "scale" && i + 1 < w.size()) {
            scale = num(w[i + 1]);
            i += 2;
        } else if (w[i] == "edge" && i + 2 < w.size()) {
            hasEdge = true;
            edge = color(w[i + 1]);
            edgeWidth = num(w[i + 2]);
            i += 3;
        } else if (w[i] == "shadow" && i + 3 < w.size()) {
            hasShadow = true;
            shadow = color(w[i + 1]);
            shadowDx = num(w[i + 2]);
            shadowDy = num(w[i + 3]);
            i += 4;
        } else {
            throw Error("unknown text option: " + w[i]);
        }
    }
    if (scale < 1) {
        throw Error("scale must be at least 1");
    }
    if (centred) {
        x -= textWidth(s, scale) / 2;
    }
    std::vector<std::vector<bool>> inkMask = textMask(s, scale);
    int pad = edgeWidth + std::max(std::abs(shadowDx), std::abs(shadowDy));
    int h = static_cast<int>(inkMask.size()) + 2 * pad;
    int wd = (inkMask.empty() ? 0 : static_cast<int>(inkMask[0].size())) + 2 * pad;
    // Work on a padded grid: 0 empty, 1 ink, 2 edge.
    std::vector<std::vector<int>> grid(h, std::vector<int>(wd, 0));
    for (size_t r = 0; r < inkMask.size(); ++r) {
        for (size_t c = 0; c < inkMask[r].size(); ++c) {
            if (inkMask[r][c]) {
                grid[r + pad][c + pad] = 1;
            }
        }
    }
    if (hasEdge) {
        for (int pass = 0; pass < edgeWidth; ++pass) {
            std::vector<std::vector<int>> next = grid;
            for (int r = 0; r < h; ++r) {
                for (int c = 0; c < wd; ++c) {
                    if (grid[r][c] != 0) {
                        continue;
                    }
                    for (int dr = -1; dr <= 1; ++dr) {
                        for (int dc = -1; dc <= 1; ++dc) {
                            int rr = r + dr;
                            int cc = c + dc;
                            if (rr >= 0 && cc >= 0 && rr < h && cc < wd && grid[rr][cc] != 0) {
                                next[r][c] = 2;
                            }
                        }
                    }
                }
            }
            grid = next;
        }
    }
    int left = x - pad;
    int top = y - pad;
    if (hasShadow) {
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < wd; ++c) {
                if (grid[r][c] != 0) {
                    canvas_.set(left + c + shadowDx, top + r + shadowDy, shadow);
                }
            }
        }
    }
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < wd; ++c) {
            if (grid[r][c] == 1) {
                canvas_.set(left + c, top + r, ink);
            } else if (grid[r][c] == 2) {
                canvas_.set(left + c, top + r, edge);
            }
        }
    }
}

void Painter::fontstrip(const std::vector<std::string>& w) {
    need(w, 6);
    std::string chars = unquote(w[1]);
    int cw = num(w[2]);
    int ch = num(w[3]);
    int dx = num(w[4]);
    int dy = num(w[5]);
    std::vector<std::string> textWords = {"text", "0", "0", w[6]};
    for (size_t i = 7; i < w.size(); ++i) {
        textWords.push_back(w[i]);
    }
    canvas_ = Canvas{cw * static_cast<int>(chars.size()), ch,
                     std::vector<Color>(static_cast<size_t>(cw) * chars.size() * ch)};
    for (size_t i = 0; i < chars.size(); ++i) {
        text(originX_ + static_cast<int>(i) * cw + dx, originY_ + dy, std::string(1, chars[i]),
             textWords, 4, false);
    }
}

void Painter::command(const std::vector<std::string>& w, std::istream& in, const std::string& path,
                      int& lineNo) {
    const std::string& op = w[0];
    auto X = [&](size_t i) { return num(w[i]) + originX_; };
    auto Y = [&](size_t i) { return num(w[i]) + originY_; };
    if (op == "size") {
        need(w, 2);
        int wd = num(w[1]);
        int ht = num(w[2]);
        if (wd <= 0 || ht <= 0) {
            throw Error("size must be positive");
        }
        canvas_ = Canvas{wd, ht, std::vector<Color>(static_cast<size_t>(wd) * ht)};
    } else if (op == "color") {
        need(w, 4);
        Color c{num(w[2]), num(w[3]), num(w[4])};
        if (c.r < 0 || c.r > 255 || c.g < 0 || c.g > 255 || c.b < 0 || c.b > 255) {
            throw Error("colour component out of range");
        }
        colors_[w[1]] = c;
    } else if (op == "pixelscale") {
        need(w, 1);
        pixelScale_ = num(w[1]);
        if (pixelScale_ < 1) {
            throw Error("pixelscale must be at least 1");
        }
    } else if (op == "origin") {
        need(w, 2);
        originX_ = num(w[1]);
        originY_ = num(w[2]);
    } else if (op == "include") {
        need(w, 1);
        run(directoryOf(path) + w[1]);
    } else if (op == "place") {
        need(w, 3);
        requireCanvas();
        Painter other;
        other.run(directoryOf(path) + w[1]);
        const Canvas& picture = other.canvas();
        const Color clear;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const Color& c = picture.pixels[static_cast<size_t>(y) * picture.width + x];
                if (c.r != clear.r || c.g != clear.g || c.b != clear.b) {
                    canvas_.set(X(2) + x, Y(3) + y, c);
                }
            }
        }
    } else if (op == "glyphs") {
        need(w, 1);
        loadGlyphs(directoryOf(path) + w[1]);
    } else if (op == "fontstrip") {
        fontstrip(w);
    } else {
        requireCanvas();
        if (op == "fill") {
            need(w, 1);
            rect(0, 0, canvas_.width, canvas_.height, color(w[1]));
        } else if (op == "rect" || op == "frame" || op == "rrect") {
            need(w, 5);
            int x = X(1), y = Y(2), wd = num(w[3]), ht = num(w[4]);
            Color c = color(w[5]);
            if (op == "frame") {
                rect(x, y, wd, 1, c);
                rect(x, y + ht - 1, wd, 1, c);
                rect(x, y, 1, ht, c);
                rect(x + wd - 1, y, 1, ht, c);
            } else if (op == "rect") {
                rect(x, y, wd, ht, c);
            } else {
                rect(x + 1, y, wd - 2, ht, c);
                rect(x, y + 1, 1, ht - 2, c);
                rect(x + wd - 1, y + 1, 1, ht - 2, c);
            }
        } else if (op == "line") {
            need(w, 5);
            line(X(1), Y(2), X(3), Y(4), color(w[5]));
        } else if (op == "ellipse" || op == "ring") {
            need(w, 5);
            ellipse(X(1), Y(2), num(w[3]), num(w[4]), color(w[5]), op == "ring");
        } else if (op == "bands") {
            need(w, 7);
            int x = X(1), y = Y(2), wd = num(w[3]), ht = num(w[4]), n = num(w[7]);
            Color a = color(w[5]), b = color(w[6]);
            if (n < 1) {
                throw Error("bands needs at least one band");
            }
            for (int row = 0; row < ht; ++row) {
                int band = row * n / ht;
                double t = n == 1 ? 0.0 : static_cast<double>(band) / (n - 1);
                Color c{static_cast<int>(std::lround(a.r + (b.r - a.r) * t)),
                        static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
                        static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
                rect(x, y + row, wd, 1, c);
            }
        } else if (op == "recolor") {
            need(w, 7);
            int x = X(1), y = Y(2), wd = num(w[3]), ht = num(w[4]);
            Color from = color(w[5]), a = color(w[6]), b = color(w[7]);
            for (int row = 0; row < ht; ++row) {
                double t = ht == 1 ? 0.0 : static_cast<double>(row) / (ht - 1);
                Color c{static_cast<int>(std::lround(a.r + (b.r - a.r) * t)),
                        static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
                        static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
                for (int col = 0; col < wd; ++col) {
                    Color old;
                    if (canvas_.get(x + col, y + row, old) && old.r == from.r && old.g == from.g &&
                        old.b == from.b) {
                        canvas_.set(x + col, y + row, c);
                    }
                }
            }
        } else if (op == "text" || op == "ctext") {
            need(w, 4);
            text(X(1), Y(2), unquote(w[4]), w, 5, op == "ctext");
        } else if (op == "pixels") {
            need(w, 2);
            int x = X(1), y = Y(2), scale = pixelScale_;
            if (w.size() == 5 && w[3] == "scale") {
                scale = num(w[4]);
            } else if (w.size() != 3) {
                throw Error("pixels takes X Y [scale N]");
            }
            std::string row;
            int r = 0;
            while (true) {
                if (!std::getline(in, row)) {
                    throw Error("pixel block without 'end'");
                }
                ++lineNo;
                if (!row.empty() && row.back() == '\r') {
                    row.pop_back();
                }
                if (row == "end") {
                    break;
                }
                for (size_t c = 0; c < row.size(); ++c) {
                    if (row[c] == '.') {
                        continue;
                    }
                    Color col = color(std::string(1, row[c]));
                    for (int j = 0; j < scale; ++j) {
                        for (int k = 0; k < scale; ++k) {
                            canvas_.set(x + static_cast<int>(c) * scale + k, y + r * scale + j,
                                        col);
                        }
                    }
                }
                ++r;
            }
        } else {
            throw Error("unknown command: " + op);
        }
    }
}

void Painter::run(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw Error("cannot open " + path);
    }
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        int startLine = lineNo;
        try {
            std::vector<std::string> w = splitWords(line);
            if (!w.empty()) {
                command(w, in, path, lineNo);
            }
        } catch (const Error& e) {
            std::string what = e.what();
            if (what.rfind("at ", 0) == 0) {
                throw;
            }
            throw Error("at " + path + ":" + std::to_string(startLine) + ": " + what);
        }
    }
}
