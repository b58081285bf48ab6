// Holds the current screen and swaps it for the next one.
#ifndef ZANDOREL_STATEMANAGER_H
#define ZANDOREL_STATEMANAGER_H

class GameState;

class StateManager final {
public:
    StateManager() = default;
    ~StateManager();

    // Unregisters and deletes the current state, then installs and registers next (may be
    // null). REQUIRES: next is not the current state.
    void changeState(GameState* next);
    GameState* getState() const { return currentState; }

    StateManager(const StateManager&) = delete;
    StateManager& operator=(const StateManager&) = delete;

private:
    GameState* currentState = nullptr; // owned
};

#endif
