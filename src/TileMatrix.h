// The puzzle board: the player's grid and its solution, read from a level file, drawn from the
// pictures of "tiles.bmp" side by side, with a gap between tiles, and cycled tile by tile with the
// left button.
//
// Level file: rows, columns and tile kinds, then the starting grid and the solution grid,
// each row by row; whitespace of any kind separates the numbers, and anything after the
// solution is ignored.
#ifndef ZANDOREL_TILEMATRIX_H
#define ZANDOREL_TILEMATRIX_H

#include "Displayable.h"
#include "IEventListener.h"

#include <string>
#include <vector>

class TileMatrix final : public Displayable, public IEventListener {
public:
    // The kinds of tile, side by side in equal parts of the tile strip.
    static constexpr int picturesInStrip = 5;

    // A level file that cannot be read in full, or that no player could win (no tile kinds, a
    // goal tile no click reaches or without a picture, a cell off the screen that differs from
    // its goal), is logged and leaves an empty 0 x 0 grid, which counts as solved: a broken
    // level is passed at once rather than crashing the game or holding the player forever.
    TileMatrix(GraphicsSystem* graphics, const std::string& levelFile);
    ~TileMatrix();

    void paint() override;
    void onEvent(Event& event) override;

    // While the solution shows, left clicks are ignored.
    void setShowSolution(bool show) { showSolution = show; }
    // Posts nothing; a cell outside the grid is left alone.
    void setTile(int row, int col, int value);

    int getNumRows() const { return numRows; }
    int getNumCols() const { return numCols; }
    int getNumTiles() const { return numTiles; }

private:
    bool load(const std::string& levelFile);
    void click(long mouseX, long mouseY);
    bool solved() const;

    int numRows = 0;
    int numCols = 0;
    int numTiles = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int shownRows = 0; // rows and columns the screen shows a part of, with this tile size
    int shownCols = 0;
    std::vector<int> tiles;    // row-major, numRows x numCols
    std::vector<int> solution; // same layout
    int x = 10;
    int y = 29;
    bool showSolution = false;
};

#endif
