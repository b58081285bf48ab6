#include "TimerManager.h"

#include "EventManager.h"
#include "Timer.h"

TimerManager::~TimerManager() {
    for (Timer* timer : timers) {
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
