#include "TileMatrix.h"

#include <algorithm>

#include "Log.h"
#include "Event.h"
#include "EventManager.h"
#include "FileReader.h"
#include "GraphicsSystem.h"

namespace {

const std::string tileStrip = "tiles.bmp";
constexpr int gap = 3;
// Far more than any level needs (a number and a space take two bytes at the least, so this
// holds grids of a quarter of a million cells), and it bounds what a damaged file can ask for.
constexpr std::size_t levelFileLimit = 1024 * 1024;

// Why a number could not be read: a file that ran dry was cut short, anything else is text (or
// a number too large for an int) where a number belongs.
std::string readFailure(FileReader::Number result, const std::string& where) {
    return (result == FileReader::Number::end ? "cut short in " : "not a number in ") + where;
}

// The grid grows as its numbers come, so that what a file claims never allocates more than
// the file holds.
bool readGrid(FileReader& in, std::vector<int>& grid, std::size_t cells, const std::string& where,
              std::string& problem) {
    grid.clear();
    grid.reserve(std::min(cells, levelFileLimit / 4));
    for (std::size_t i = 0; i < cells; ++i) {
        int cell = 0;
        const FileReader::Number result = in.readInt(cell);
        if (result != FileReader::Number::read) {
            problem = readFailure(result, where);
            return false;
        }
        grid.push_back(cell);
    }
    return true;
}

// How many rows (or columns) of a grid starting at origin the screen shows at least a part of:
// a cell beyond them can be neither seen nor clicked.
int shownOnScreen(int origin, int step, int screen) {
    return screen > origin ? (screen - origin + step - 1) / step : 0;
}

// Why a level read in full cannot be won, or empty when it can. Every goal cell must be a kind
// a click can reach and a tile the strip can draw, and a cell the screen does not show must
// already equal its goal. A starting tile may hold any value: it shows no picture, and clicks
// move it on into the kinds.
std::string unwinnable(const std::vector<int>& start, const std::vector<int>& goal, int kinds,
                       int cols, int shownRows, int shownCols) {
    for (int value : goal) {
        if (value < 0 || value >= kinds) {
            return "tile " + std::to_string(value) + " in the solution is not one of the " +
                   std::to_string(kinds) + " kinds";
        }
        if (value >= TileMatrix::picturesInStrip) {
            return "tile " + std::to_string(value) + " in the solution has no picture";
        }
    }
    for (std::size_t i = 0; i < goal.size(); ++i) {
        const auto row = static_cast<int>(i / static_cast<std::size_t>(cols));
        const auto col = static_cast<int>(i % static_cast<std::size_t>(cols));
        if ((row >= shownRows || col >= shownCols) && start[i] != goal[i]) {
            return "tile (" + std::to_string(row) + ", " + std::to_string(col) +
                   ") is off the screen and differs from the solution";
        }
    }
    return "";
}

} // namespace

// The strip is measured first: its tile size decides which cells the screen shows.
TileMatrix::TileMatrix(GraphicsSystem* graphics, const std::string& levelFile)
    : Displayable(graphics) {
    const Image* strip = graphics->getImage(tileStrip);
    tileWidth = strip->width / picturesInStrip;
    tileHeight = strip->height;
    shownRows = shownOnScreen(y, tileHeight + gap, graphics->getResY());
    shownCols = shownOnScreen(x, tileWidth + gap, graphics->getResX());
    load(levelFile);
}

TileMatrix::~TileMatrix() {
    graphics->freeImage(tileStrip, true);
}

// All or nothing: a grid read only in part would leave the solved check comparing cells the
// file never gave, so any fault leaves the empty grid instead.
bool TileMatrix::load(const std::string& levelFile) {
    std::string problem;
    FileReader in(levelFile, levelFileLimit);
    int rows = 0;
    int cols = 0;
    int kinds = 0;
    FileReader::Number result = FileReader::Number::read;
    if (!in.isOpen()) {
        problem = "cannot be opened";
    } else if ((result = in.readInt(rows)) != FileReader::Number::read ||
               (result = in.readInt(cols)) != FileReader::Number::read ||
               (result = in.readInt(kinds)) != FileReader::Number::read) {
        problem = readFailure(result, "the dimensions");
    } else if (rows < 1 || cols < 1) {
        problem = "rows and columns must be at least 1, not " + std::to_string(rows) + " x " +
                  std::to_string(cols);
    } else if (kinds < 1) {
        problem = "tile kinds must be at least 1, not " + std::to_string(kinds);
    } else {
        const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
        std::vector<int> start;
        std::vector<int> target;
        if (readGrid(in, start, cells, "the starting grid", problem) &&
            readGrid(in, target, cells, "the solution", problem) &&
            (problem = unwinnable(start, target, kinds, cols, shownRows, shownCols)).empty()) {
            numRows = rows;
            numCols = cols;
            numTiles = kinds;
            tiles.swap(start);
            solution.swap(target);
            return true;
        }
    }
    Log::write("TileMatrix::TileMatrix(...) - Bad Level File: " + levelFile + " (" + problem + ")");
    return false;
}

void TileMatrix::paint() {
    const std::vector<int>& shown = showSolution ? solution : tiles;
    // Cells beyond the screen are not drawn: the copy would clip them away anyway.
    for (int r = 0; r < std::min(numRows, shownRows); ++r) {
        for (int c = 0; c < std::min(numCols, shownCols); ++c) {
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
    // Wide enough for the far edge of a grid that runs well past the screen.
    const long long stepX = tileWidth + gap;
    const long long stepY = tileHeight + gap;
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
