// The record every part of the game exchanges, and the catalogue of event types.
#ifndef ZANDOREL_EVENT_H
#define ZANDOREL_EVENT_H

#include "DataItem.h"

#include <cstdint>
#include <vector>

class GameState;

// Payloads (item order) are listed beside each type; listeners read items by position.
enum EventType {
    EVENT_KEY_DOWN = 0,        // key symbol
    EVENT_KEY_UP = 1,          // key symbol
    EVENT_KEY_PRESSED = 2,     // key symbol; follows EVENT_KEY_UP when the down was seen
    EVENT_MOUSE_DOWN = 3,      // button, x, y
    EVENT_MOUSE_CLICKED = 4,   // button, x, y; follows EVENT_MOUSE_UP when the down was seen
    EVENT_MOUSE_UP = 5,        // button
    EVENT_MOUSE_MOTION = 6,    // x, y
    EVENT_INIT = 7,            // none
    EVENT_QUIT = 8,            // none
    EVENT_TIMER = 9,           // timer id, fires left including this one (negative: unlimited)
    EVENT_TICK = 10,           // milliseconds since the media library started
    EVENT_BUTTON_CLICKED = 11, // button id
    EVENT_PUZZLE_SOLVED = 12,  // none
    EVENT_TILE_CHANGED = 13,   // row, column
    EVENT_CHANGE_STATE = 14    // none; nextState holds the new state, or null to stop the game
};

// Mouse button numbers as the media library reports them.
enum MouseButton { MOUSE_LEFT = 1, MOUSE_MIDDLE = 2, MOUSE_RIGHT = 3 };

class Event final {
public:
    Event() = default;
    explicit Event(int type);
    Event(int type, std::vector<DataItem> data);

    int type = -1; // no type: a listener never mistakes an unset event for a real one
    std::uint32_t time = 0;
    std::vector<DataItem> data;
    GameState* nextState = nullptr; // borrowed: the state manager takes ownership
};

#endif
