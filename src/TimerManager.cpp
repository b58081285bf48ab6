#include "TimerManager.h"

#include "EventManager.h"
#include "Timer.h"

// The event manager may outlive this one (a test's, say, or a game that tears down in
// another order): a timer left on its list would be called after it was deleted.
TimerManager::~TimerManager() {
    for (Timer* timer : timers) {
        EventManager::getInstance()->removeListener(timer);
        delete timer;
    }
}

void TimerManager::createTimer(int id, long rate, int numFires) {
    auto* timer = new Timer(id, rate, numFires);
    timers.push_back(timer);
    EventManager::getInstance()->registerListener(timer);
}

void TimerManager::removeTimer(int id) {
    for (auto it = timers.begin(); it != timers.end();) {
        Timer* timer = *it;
        if (timer->getID() != id) {
            ++it;
            continue;
        }
        EventManager::getInstance()->removeListener(timer);
        it = timers.erase(it);
        delete timer;
    }
}

int TimerManager::getNumFires(int id) const {
    for (const Timer* timer : timers) {
        if (timer->getID() == id) {
            return timer->getNumFires();
        }
    }
    return 0;
}

void TimerManager::setNumFires(int id, int numFires) {
    for (Timer* timer : timers) {
        if (timer->getID() == id) {
            timer->setNumFires(numFires);
        }
    }
}

void TimerManager::onEvent(Event&) {}
