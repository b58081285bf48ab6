#include "TileMatrix.h"

#include "EventManager.h"
#include "GraphicsSystem.h"
#include "TestSupport.h"

namespace {

constexpr int tileWidth = 20;
constexpr int tileHeight = 12; // not square, so rows and columns cannot be confused
constexpr int stepX = tileWidth + layout::tileGap;
constexpr int stepY = tileHeight + layout::tileGap;
using layout::gridX;
using layout::gridY;
const std::string levelFile = "./data/level1.txt";

using Grid = std::vector<std::vector<int>>;

// 2 rows of 3; the solution differs from the start only in the last cell.
const char* const twoByThree = "2 3 4\n"
                               "0 1 2\n"
                               "3 0 1\n"
                               "0 1 2\n"
                               "3 0 2\n";

class TileMatrixTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        // Two spare columns: the tile width is the strip width divided by 5, rounded down.
        writeBands("tiles.bmp", 5 * tileWidth + 2, tileHeight, tileColours);
        events = EventManager::getInstance();
        events->registerListener(&recorder);
    }

    // The tile value painted in each cell, read from the middle of the tile; -1 for none.
    Grid shown(TileMatrix& matrix, int rows, int cols) {
        graphics->clear();
        matrix.paint();
        Grid grid(rows, std::vector<int>(cols, -1));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const Colour seen =
                    pixel(gridX + c * stepX + tileWidth / 2, gridY + r * stepY + tileHeight / 2);
                for (std::size_t v = 0; v < tileColours.size(); ++v) {
                    if (seen == asShown(tileColours[v])) {
                        grid[r][c] = static_cast<int>(v);
                    }
                }
            }
        }
        return grid;
    }

    void deliver(TileMatrix& matrix, int type, std::initializer_list<long> payload) {
        events->registerListener(&matrix);
        postEvent(type, payload);
        events->dispatchEvents();
        events->removeListener(&matrix);
    }

    std::vector<Event> posted(int type) const {
        std::vector<Event> found;
        for (const Event& event : recorder.events) {
            if (event.type == type) {
                found.push_back(event);
            }
        }
        return found;
    }

    EventManager* events = nullptr;
    Recorder recorder;
};

struct Hit {
    long mouseX;
    long mouseY;
    int row; // -1: the click misses
    int col;
};

struct BadLevel {
    const char* content; // null: no file at all
    const char* problem;
};

} // namespace

// Some editors save a byte-order mark ahead of the first number.
TEST_F(TileMatrixTest, LoadsANonSquareGridRowByRowWhateverTheSpacing) {
    writeFile(levelFile, "\xEF\xBB\xBF"
                         "2\t3 4\n\n  0 1\n2 3 0 1   0 1 2\r\n3\n0 2 END OF LEVEL 9 9\n");
    TileMatrix matrix(graphics, levelFile);
    EXPECT_EQ(matrix.getNumRows(), 2);
    EXPECT_EQ(matrix.getNumCols(), 3);
    EXPECT_EQ(matrix.getNumTiles(), 4);
    EXPECT_EQ(shown(matrix, 2, 3), (Grid{{0, 1, 2}, {3, 0, 1}}));
    matrix.setShowSolution(true);
    EXPECT_EQ(shown(matrix, 2, 3), (Grid{{0, 1, 2}, {3, 0, 2}}));
}

TEST_F(TileMatrixTest, TilesSitAtTheirPlacesWithThreePixelGaps) {
    writeFile(levelFile, "1 2 5  4 2  4 2");
    TileMatrix matrix(graphics, levelFile);
    graphics->clear();
    matrix.paint();
    const Colour black{0, 0, 0};
    EXPECT_EQ(pixel(gridX, gridY), asShown(tileColours[4]));
    EXPECT_EQ(pixel(gridX + tileWidth - 1, gridY + tileHeight - 1), asShown(tileColours[4]));
    EXPECT_EQ(pixel(gridX + tileWidth, gridY), black);
    EXPECT_EQ(pixel(gridX + stepX - 1, gridY), black);
    EXPECT_EQ(pixel(gridX + stepX, gridY), asShown(tileColours[2]));
    EXPECT_EQ(pixel(gridX, gridY + tileHeight), black);
    EXPECT_EQ(pixel(gridX - 1, gridY), black);
}

// Clicks past the fifth kind, a bomb's scramble and the level file itself can give values
// without a picture.
TEST_F(TileMatrixTest, ValuesWithoutAPictureDrawNothingWhateverTheKinds) {
    writeFile(levelFile, "1 4 9  4 4 4 4  0 0 0 0");
    TileMatrix matrix(graphics, levelFile);
    for (int col : {0, 1, 1, 1, 1}) {
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 1 + col * stepX, gridY + 1});
    }
    matrix.setTile(0, 2, -1);
    EXPECT_EQ(shown(matrix, 1, 4), (Grid{{-1, -1, -1, 4}}));
}

TEST_F(TileMatrixTest, LeftClickHitsTheTileBeforeEachGapAndMissesTheOuterEdges) {
    const std::vector<Hit> hits = {
        {gridX, gridY + 1, -1, -1},
        {gridX + 1, gridY, -1, -1},
        {gridX + 1, gridY + 1, 0, 0},
        {gridX + tileWidth, gridY + 1, 0, 0},
        {gridX + stepX - 1, gridY + 1, 0, 0},
        {gridX + stepX, gridY + 1, 0, 1},
        {gridX + 1, gridY + stepY - 1, 0, 0},
        {gridX + 1, gridY + stepY, 1, 0},
        {gridX + 3 * stepX - 1, gridY + 2 * stepY - 1, 1, 2},
        {gridX + 3 * stepX, gridY + 1, -1, -1},
        {gridX + 1, gridY + 2 * stepY, -1, -1},
        {-5, -5, -1, -1},
        {100000, 40, -1, -1},
    };
    for (const Hit& hit : hits) {
        SCOPED_TRACE("click at " + std::to_string(hit.mouseX) + ", " + std::to_string(hit.mouseY));
        writeFile(levelFile, twoByThree);
        TileMatrix matrix(graphics, levelFile);
        recorder.events.clear();
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, hit.mouseX, hit.mouseY});
        Grid expected{{0, 1, 2}, {3, 0, 1}};
        const std::vector<Event> changes = posted(EVENT_TILE_CHANGED);
        if (hit.row < 0) {
            EXPECT_TRUE(changes.empty());
        } else {
            expected[hit.row][hit.col] = (expected[hit.row][hit.col] + 1) % 4;
            ASSERT_EQ(changes.size(), 1u);
            ASSERT_EQ(changes[0].data.size(), 2u);
            EXPECT_EQ(changes[0].data[0].getLongVal(), hit.row);
            EXPECT_EQ(changes[0].data[1].getLongVal(), hit.col);
        }
        EXPECT_EQ(shown(matrix, 2, 3), expected);
    }
}

TEST_F(TileMatrixTest, LeftClicksCycleThroughTheKindsAndWrapToZero) {
    writeFile(levelFile, twoByThree);
    TileMatrix matrix(graphics, levelFile);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 1, gridY + stepY + 1});
        seen.push_back(shown(matrix, 2, 3)[1][0]);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(posted(EVENT_TILE_CHANGED).size(), 5u);
}

// Starting values outside the kinds show no picture and are not clamped: they count up until
// they reach the kinds or more, and then start again at 0, so such a level can still be won.
TEST_F(TileMatrixTest, StartingTilesOutsideTheKindsAreWonByClicksWithoutOverflow) {
    writeFile(levelFile, "1 4 4  -2 7 2147483647 4  0 0 0 0");
    TileMatrix matrix(graphics, levelFile);
    EXPECT_EQ(shown(matrix, 1, 4), (Grid{{-1, -1, -1, 4}}));
    for (int col : {0, 0, 1, 2, 3}) {
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 1 + col * stepX, gridY + 1});
    }
    EXPECT_EQ(shown(matrix, 1, 4), (Grid{{0, 0, 0, 0}}));
    recorder.events.clear();
    deliver(matrix, EVENT_TICK, {1});
    EXPECT_EQ(posted(EVENT_PUZZLE_SOLVED).size(), 1u);
}

// Which cells the screen shows follows the strip's tile size: only those can be clicked, so
// a grid may run past the screen where its cells already equal their goal.
TEST_F(TileMatrixTest, GridLargerThanTheScreenIsPlayableWhereItShows) {
    struct Case {
        int tileWidth;
        const char* level;
        int cols;     // 0: refused
        int clickCol; // the one cell that differs from its goal
    };
    // 20-pixel tiles: 11 columns show, the last in part; 40-pixel ones: 6.
    const char* const twelveWide = "1 12 2  0 0 0 0 0 0 0 0 0 0 0 1  0 0 0 0 0 0 0 0 0 0 1 1";
    const char* const sevenWide = "1 7 2  0 0 0 0 0 0 1  0 0 0 0 0 0 0";
    for (const Case& c : {Case{20, twelveWide, 12, 10}, Case{20, sevenWide, 7, 6},
                          Case{40, twelveWide, 0, 10}, Case{40, sevenWide, 0, 6}}) {
        SCOPED_TRACE(std::to_string(c.tileWidth) + "-pixel tiles, " + c.level);
        writeBands("tiles.bmp", 5 * c.tileWidth, tileHeight, tileColours);
        writeFile(levelFile, c.level);
        TileMatrix matrix(graphics, levelFile);
        ASSERT_EQ(matrix.getNumCols(), c.cols);
        if (c.cols == 0) {
            continue;
        }
        const int x = gridX + c.clickCol * (c.tileWidth + layout::tileGap);
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, x, gridY + 1});
        recorder.events.clear();
        deliver(matrix, EVENT_TICK, {1});
        EXPECT_EQ(posted(EVENT_PUZZLE_SOLVED).size(), 1u);
    }
}

TEST_F(TileMatrixTest, RightClickAnywhereTogglesTheSolutionWhichBlocksLeftClicks) {
    writeFile(levelFile, twoByThree);
    TileMatrix matrix(graphics, levelFile);
    const Grid start{{0, 1, 2}, {3, 0, 1}};
    const Grid target{{0, 1, 2}, {3, 0, 2}};
    deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_RIGHT, 250, 230});
    EXPECT_EQ(shown(matrix, 2, 3), target);
    deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 1, gridY + 1});
    EXPECT_TRUE(posted(EVENT_TILE_CHANGED).empty());
    deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_RIGHT, gridX + 1, gridY + 1});
    EXPECT_EQ(shown(matrix, 2, 3), start);
    deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_MIDDLE, gridX + 1, gridY + 1});
    deliver(matrix, EVENT_MOUSE_DOWN, {MOUSE_LEFT, gridX + 1, gridY + 1});
    EXPECT_EQ(shown(matrix, 2, 3), start);
    EXPECT_TRUE(posted(EVENT_TILE_CHANGED).empty());
}

TEST_F(TileMatrixTest, SolvedIsPostedOnEveryTickOnlyWhileTheGridsMatch) {
    for (const char* level : {twoByThree, "3 2 4  0 1 2 3 0 1  0 1 2 3 0 2"}) {
        SCOPED_TRACE(level);
        writeFile(levelFile, level);
        TileMatrix matrix(graphics, levelFile);
        recorder.events.clear();
        deliver(matrix, EVENT_TICK, {1});
        EXPECT_TRUE(posted(EVENT_PUZZLE_SOLVED).empty());
        // The only differing cell is the last one: row-major indexing must find it.
        const int lastRow = matrix.getNumRows() - 1;
        const int lastCol = matrix.getNumCols() - 1;
        deliver(matrix, EVENT_MOUSE_CLICKED,
                {MOUSE_LEFT, gridX + 1 + lastCol * stepX, gridY + 1 + lastRow * stepY});
        matrix.setShowSolution(true);
        deliver(matrix, EVENT_TICK, {2});
        deliver(matrix, EVENT_TICK, {3});
        const std::vector<Event> solved = posted(EVENT_PUZZLE_SOLVED);
        ASSERT_EQ(solved.size(), 2u);
        EXPECT_TRUE(solved[0].data.empty());
        matrix.setTile(0, 0, 3);
        deliver(matrix, EVENT_TICK, {4});
        EXPECT_EQ(posted(EVENT_PUZZLE_SOLVED).size(), 2u);
    }
}

TEST_F(TileMatrixTest, SetTileChangesExactlyThePaintedCellAndIgnoresCellsOffTheGrid) {
    writeFile(levelFile, twoByThree);
    TileMatrix matrix(graphics, levelFile);
    matrix.setTile(1, 2, 4);
    matrix.setTile(0, 1, 3);
    for (const auto& [row, col] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 3}, {1, 3}, {-1, 3}}) {
        matrix.setTile(row, col, 2);
    }
    EXPECT_EQ(shown(matrix, 2, 3), (Grid{{0, 3, 2}, {3, 0, 4}}));
    events->dispatchEvents();
    EXPECT_TRUE(posted(EVENT_TILE_CHANGED).empty());
}

TEST_F(TileMatrixTest, BadLevelFileLeavesAnEmptyGridThatPassesAtOnce) {
    const std::vector<BadLevel> levels = {
        {nullptr, "cannot be opened"},
        {"", "cut short in the dimensions"},
        {"2 3", "cut short in the dimensions"},
        {"2 x 3 4", "not a number in the dimensions"},
        {"99999999999 2 4", "not a number in the dimensions"},
        {"0 3 4", "rows and columns must be at least 1, not 0 x 3"},
        {"3 0 4", "rows and columns must be at least 1, not 3 x 0"},
        {"-2 3 4", "rows and columns must be at least 1, not -2 x 3"},
        // A size the file cannot hold allocates no more than the file does.
        {"2000000000 2000000000 4  0 1", "cut short in the starting grid"},
        // Levels read in full that no player can win.
        {"1 2 0  0 3  0 0", "tile kinds must be at least 1, not 0"},
        {"1 2 -3  0 -9  0 0", "tile kinds must be at least 1, not -3"},
        {"1 2 3  0 1  0 3", "tile 3 in the solution is not one of the 3 kinds"},
        {"1 2 3  0 1  -1 0", "tile -1 in the solution is not one of the 3 kinds"},
        {"1 2 7  0 1  0 6", "tile 6 in the solution has no picture"},
        // With 20 x 12 tiles the screen shows 11 columns and 16 rows, the last ones in part.
        {"1 12 2  0 0 0 0 0 0 0 0 0 0 0 0  0 0 0 0 0 0 0 0 0 0 0 1",
         "tile (0, 11) is off the screen and differs from the solution"},
        {"17 1 2  0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0  0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1",
         "tile (16, 0) is off the screen and differs from the solution"},
        {"2 2 4  0 1 2", "cut short in the starting grid"},
        {"2 2 4  0 1 two 3  0 1 2 3", "not a number in the starting grid"},
        {"2 2 4  0 1 2 3  0 1 2", "cut short in the solution"},
        {"2 2 4  0 1 2 3  0 1 2 x", "not a number in the solution"},
    };
    for (const BadLevel& level : levels) {
        SCOPED_TRACE(level.problem);
        std::filesystem::remove(levelFile);
        if (level.content != nullptr) {
            writeFile(levelFile, level.content);
        }
        TileMatrix matrix(graphics, levelFile);
        // The last line: the strip is loaded first, as it tells the size of the tiles.
        const std::vector<std::string> lines = logLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "TileMatrix::TileMatrix(...) - Bad Level File: " + levelFile +
                                    " (" + level.problem + ")");
        EXPECT_EQ(matrix.getNumRows(), 0);
        EXPECT_EQ(matrix.getNumCols(), 0);

        recorder.events.clear();
        matrix.setTile(0, 0, 1);
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 1, gridY + 1});
        deliver(matrix, EVENT_MOUSE_CLICKED, {MOUSE_LEFT, gridX + 2, gridY + 2});
        deliver(matrix, EVENT_TICK, {1});
        EXPECT_EQ(recorder.types(), (std::vector<int>{EVENT_MOUSE_CLICKED, EVENT_MOUSE_CLICKED,
                                                      EVENT_TICK, EVENT_PUZZLE_SOLVED}));
        graphics->clear();
        matrix.paint();
        EXPECT_EQ(pixel(gridX + 1, gridY + 1), (Colour{0, 0, 0}));
    }
}
