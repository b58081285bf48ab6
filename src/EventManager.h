// The game's one message bus: a queue of events and the list of listeners they go to.
#ifndef ZANDOREL_EVENTMANAGER_H
#define ZANDOREL_EVENTMANAGER_H

#include "Event.h"

#include <list>

class IEventListener;

class EventManager final {
public:
    static EventManager* getInstance();
    // Discards queued events and forgets the listeners; the next getInstance() starts afresh.
    static void deleteInstance();

    // Duplicates are kept: a listener registered twice hears every event twice.
    void registerListener(IEventListener* listener);
    // Removes every entry of the listener. REQUIRES: not called with the listener whose
    // onEvent is running (the delivery walk stands on its entry).
    void removeListener(IEventListener* listener);
    // Stamps the caller's event with the current time and queues a copy; delivers nothing.
    void postEvent(Event& event);
    void dispatchEvents();

    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;

private:
    EventManager() = default;
    ~EventManager() = default;

    static EventManager* instance;

    std::list<IEventListener*> listeners;
    std::list<Event> events;
};

#endif
