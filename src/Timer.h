// A listener that turns the main loop's ticks into EVENT_TIMER at a given rate.
#ifndef ZANDOREL_TIMER_H
#define ZANDOREL_TIMER_H

#include "IEventListener.h"

#include <cstdint>

class Timer final : public IEventListener {
public:
    // numFires > 0 counts down, 0 is spent, negative fires without end.
    Timer(int id, long rate, int numFires);

    void onEvent(Event& event) override;

    int getID() const { return id; }
    int getNumFires() const { return numFires; }
    void setNumFires(int fires) { numFires = fires; }
    long getRate() const { return rate; }

    bool operator==(const Timer& other) const;

private:
    std::int32_t rate;
    int numFires;
    std::int32_t lastFireTime;
    int id;
};

#endif
