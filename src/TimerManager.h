// Owns every timer and finds them by the caller's numeric id.
#ifndef ZANDOREL_TIMERMANAGER_H
#define ZANDOREL_TIMERMANAGER_H

#include "IEventListener.h"

#include <vector>

class Timer;

class TimerManager final : public IEventListener {
public:
    TimerManager() = default;
    // Unregisters and deletes every timer left.
    ~TimerManager();

    // Ids are not unique: timers sharing an id are read through the first and changed together.
    void createTimer(int id, long rate, int numFires);
    // REQUIRES: not called from the onEvent of a timer it removes.
    void removeTimer(int id);
    int getNumFires(int id) const; // 0 for an unknown id
    void setNumFires(int id, int numFires);

    // The manager is never registered; it has nothing to hear.
    void onEvent(Event& event) override;

    TimerManager(const TimerManager&) = delete;
    TimerManager& operator=(const TimerManager&) = delete;

private:
    std::vector<Timer*> timers; // owned
};

#endif
