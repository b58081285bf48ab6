#include "EventManager.h"

#include "IEventListener.h"

#include "SDL.h"

EventManager* EventManager::instance = nullptr;

EventManager* EventManager::getInstance() {
    if (instance == nullptr) {
        instance = new EventManager();
    }
    return instance;
}

void EventManager::deleteInstance() {
    delete instance;
    instance = nullptr;
}

void EventManager::registerListener(IEventListener* listener) {
    listeners.push_back(listener);
}

void EventManager::removeListener(IEventListener* listener) {
    listeners.remove(listener);
}

void EventManager::postEvent(Event& event) {
    event.time = SDL_GetTicks();
    events.push_back(event);
}

// The walk steps on from the entry just called and compares with end() at every step, so a
// listener registered during delivery (appended) hears the same event, and one removed before
// the walk reaches it does not. Walking a copy of the list would break screen changes, whose
// new widgets must hear the very click that created them. The front event leaves the queue
// before the first call, so events posted during delivery only ever append.
void EventManager::dispatchEvents() {
    while (!events.empty()) {
        Event event = events.front();
        events.pop_front();
        for (auto it = listeners.begin(); it != listeners.end(); ++it) {
            (*it)->onEvent(event);
        }
    }
}
