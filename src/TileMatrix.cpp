#include "TileMatrix.h"

#include <fstream>

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GraphicsSystem.h"

namespace {

const std::string tileStrip = "tiles.bmp";
constexpr int picturesInStrip = 5;
constexpr int gap = 3;
// What the 256 x 240 window shows of a grid of 20-pixel tiles from (10, 29): a larger grid
// puts cells off the screen, where no player can click them. The cap also keeps a typo from
// asking for a huge allocation.
constexpr int maxRows = 9;
constexpr int maxCols = 10;

// Why a number could not be read: a stream that ran dry was cut short, anything else is text
// (or a number too large for an int) where a number belongs.
std::string readFailure(const std::istream& in, const std::string& where) {
    return (in.eof() ? "cut short in " : "not a number in ") + where;
}

bool readGrid(std::istream& in, std::vector<int>& grid, const std::string& where,
              std::string& problem) {
    for (int& cell : grid) {
        if (!(in >> cell)) {
            problem = readFailure(in, where);
            return false;
        }
    }
    return true;
}

// Why a level read in full cannot be won, or empty when it can: every goal cell must be a
// kind a click can reach and a tile the strip can draw, and a start cell needs a picture too.
std::string unwinnable(const std::vector<int>& start, const std::vector<int>& goal, int kinds) {
    for (int value : start) {
        if (value < 0 || value >= picturesInStrip) {
            return "tile " + std::to_string(value) + " in the starting grid has no picture";
        }
    }
    for (int value : goal) {
        if (value < 0 || value >= kinds) {
            return "tile " + std::to_string(value) + " in the solution is not one of the " +
                   std::to_string(kinds) + " kinds";
        }
        if (value >= picturesInStrip) {
            return "tile " + std::to_string(value) + " in the solution has no picture";
        }
    }
    return "";
}

} // namespace

TileMatrix::TileMatrix(GraphicsSystem* graphics, const std::string& levelFile)
    : Displayable(graphics) {
    load(levelFile);
    const Image* strip = graphics->getImage(tileStrip);
    tileWidth = strip->width / picturesInStrip;
    tileHeight = strip->height;
}

TileMatrix::~TileMatrix() {
    graphics->freeImage(tileStrip, true);
}

// All or nothing: a grid read only in part would leave the solved check comparing cells the
// file never gave, so any fault leaves the empty grid instead.
bool TileMatrix::load(const std::string& levelFile) {
    std::string problem;
    std::ifstream in(levelFile);
    int rows = 0;
    int cols = 0;
    int kinds = 0;
    if (!in.is_open()) {
        problem = "cannot be opened";
    } else if (!(in >> rows >> cols >> kinds)) {
        problem = readFailure(in, "the dimensions");
    } else if (rows < 1 || cols < 1 || rows > maxRows || cols > maxCols) {
        problem = "rows must be 1 to " + std::to_string(maxRows) + " and columns 1 to " +
                  std::to_string(maxCols) + ", not " + std::to_string(rows) + " x " +
                  std::to_string(cols);
    } else if (kinds < 1) {
        problem = "tile kinds must be at least 1, not " + std::to_string(kinds);
    } else {
        const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
        std::vector<int> start(cells);
        std::vector<int> target(cells);
        if (readGrid(in, start, "the starting grid", problem) &&
            readGrid(in, target, "the solution", problem) &&
            (problem = unwinnable(start, target, kinds)).empty()) {
            numRows = rows;
            numCols = cols;
            numTiles = kinds;
            tiles.swap(start);
            solution.swap(target);
            return true;
        }
    }
    Core::log("TileMatrix::TileMatrix(...) - Bad Level File: " + levelFile + " (" + problem + ")");
    return false;
}

void TileMatrix::paint() {
    const std::vector<int>& shown = showSolution ? solution : tiles;
    for (int r = 0; r < numRows; ++r) {
        for (int c = 0; c < numCols; ++c) {
            const int value = shown[static_cast<std::size_t>(r * numCols + c)];
            // A value without a picture would be clipped away by the copy anyway; skipping it
            // also keeps a huge value from overflowing the source offset.
            if (value < 0 || value >= picturesInStrip) {
                continue;
            }
            const Rect source{value * tileWidth, 0, tileWidth, tileHeight};
            const Rect destination{x + c * (tileWidth + gap), y + r * (tileHeight + gap), 0, 0};
            graphics->drawImage(tileStrip, source, destination);
        }
    }
}

void TileMatrix::setTile(int row, int col, int value) {
    if (row < 0 || col < 0 || row >= numRows || col >= numCols) {
        return;
    }
    tiles[static_cast<std::size_t>(row * numCols + col)] = value;
}

// Strict comparisons leave the first pixel column and row of tile (0, 0) dead, while the gap
// after each tile, the last ones included, counts for that tile.
void TileMatrix::click(long mouseX, long mouseY) {
    const long stepX = tileWidth + gap;
    const long stepY = tileHeight + gap;
    if (mouseX <= x || mouseY <= y || mouseX >= x + stepX * numCols ||
        mouseY >= y + stepY * numRows) {
        return;
    }
    const int col = static_cast<int>((mouseX - x) / stepX);
    const int row = static_cast<int>((mouseY - y) / stepY);
    int& cell = tiles[static_cast<std::size_t>(row * numCols + col)];
    // Widened so that a cell already at the largest int wraps to 0 instead of overflowing.
    const long long next = static_cast<long long>(cell) + 1;
    cell = next >= numTiles ? 0 : static_cast<int>(next);

    Event changed(EVENT_TILE_CHANGED);
    changed.data.reserve(2); // one allocation for both items, not one per item
    changed.data.emplace_back(static_cast<long>(row));
    changed.data.emplace_back(static_cast<long>(col));
    EventManager::getInstance()->postEvent(changed);
}

bool TileMatrix::solved() const {
    return tiles == solution;
}

void TileMatrix::onEvent(Event& event) {
    if (event.type == EVENT_TICK) {
        // Repeated every tick while solved: the receiver leaves the level on the first one.
        if (solved()) {
            Event done(EVENT_PUZZLE_SOLVED);
            EventManager::getInstance()->postEvent(done);
        }
        return;
    }
    if (event.type != EVENT_MOUSE_CLICKED || event.data.size() < 3) {
        return;
    }
    const long button = event.data[0].getLongVal();
    if (button == MOUSE_LEFT && !showSolution) {
        click(event.data[1].getLongVal(), event.data[2].getLongVal());
    } else if (button == MOUSE_RIGHT) {
        // Anywhere on screen: the view switch needs no hit test.
        showSolution = !showSolution;
    }
}
