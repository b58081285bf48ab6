#include "Timer.h"

#include "Event.h"
#include "EventManager.h"

#include "SDL.h"

Timer::Timer(int id, long rate, int numFires)
    : rate(static_cast<std::int32_t>(rate)), numFires(numFires),
      lastFireTime(static_cast<std::int32_t>(SDL_GetTicks())), id(id) {}

// A late timer fires once and measures its next period from this tick: missed periods are
// never made up, so a stalled frame cannot release a burst of countdown seconds.
void Timer::onEvent(Event& event) {
    if (event.type != EVENT_TICK || numFires == 0 || event.data.empty()) {
        return;
    }
    const auto now = static_cast<std::int32_t>(event.data[0].getLongVal());
    // Unsigned subtraction wraps like the millisecond clock does, without signed overflow.
    const auto elapsed = static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                                   static_cast<std::uint32_t>(lastFireTime));
    if (elapsed < rate) {
        return;
    }
    lastFireTime = now;
    Event fired(EVENT_TIMER);
    fired.data.reserve(2); // one allocation for both items, not one per item
    fired.data.emplace_back(static_cast<long>(id));
    fired.data.emplace_back(static_cast<long>(numFires));
    EventManager::getInstance()->postEvent(fired);
    if (numFires > 0) {
        --numFires;
    }
}

bool Timer::operator==(const Timer& other) const {
    return id == other.id && numFires == other.numFires && rate == other.rate &&
           lastFireTime == other.lastFireTime;
}
