// Base of the five screens; each reaches the engine's managers through its Core.
#ifndef ZANDOREL_GAMESTATE_H
#define ZANDOREL_GAMESTATE_H

#include "IEventListener.h"

class Core;

class GameState : public IEventListener {
public:
    explicit GameState(Core* core) : core(core) {}
    virtual ~GameState() = default;

    void onEvent(Event&) override {}

    GameState(const GameState&) = delete;
    GameState& operator=(const GameState&) = delete;

protected:
    Core* core; // borrowed: the engine outlives every state
};

#endif
