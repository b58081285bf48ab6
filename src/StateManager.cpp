#include "StateManager.h"

#include "EventManager.h"
#include "GameState.h"

StateManager::~StateManager() {
    changeState(nullptr);
}

void StateManager::changeState(GameState* next) {
    EventManager* events = EventManager::getInstance();
    if (currentState != nullptr) {
        events->removeListener(currentState);
        delete currentState;
        currentState = nullptr;
    }
    currentState = next;
    if (next != nullptr) {
        events->registerListener(next);
    }
}
