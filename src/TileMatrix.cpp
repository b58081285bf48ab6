#include "TileMatrix.h"

TileMatrix::TileMatrix(GraphicsSystem* graphics, const std::string&) : Displayable(graphics) {}

TileMatrix::~TileMatrix() = default;

void TileMatrix::paint() {}

void TileMatrix::onEvent(Event&) {}

void TileMatrix::setTile(int, int, int) {}

bool TileMatrix::load(const std::string&) {
    return false;
}

void TileMatrix::click(long, long) {}

bool TileMatrix::solved() const {
    return false;
}
