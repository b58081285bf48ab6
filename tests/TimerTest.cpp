#include "Timer.h"
#include "TimerManager.h"

#include "EventManager.h"
#include "TestSupport.h"

#include "SDL.h"

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(0), 0);
        events->registerListener(&recorder);
    }
    void TearDown() override {
        delete timers;
        EventManager::deleteInstance();
        SDL_Quit();
    }

    // Creates a timer and returns the latest creation time it could have taken.
    long create(int id, long rate, int fires) {
        timers->createTimer(id, rate, fires);
        return SDL_GetTicks();
    }

    // Delivers one tick and returns the timer events it caused, as [id, count] pairs.
    std::vector<std::pair<long, long>> tick(long time) {
        recorder.events.clear();
        postTick(time);
        events->dispatchEvents();
        std::vector<std::pair<long, long>> fired;
        for (const Event& e : recorder.events) {
            if (e.type == EVENT_TIMER) {
                fired.emplace_back(e.data[0].getLongVal(), e.data[1].getLongVal());
            }
        }
        return fired;
    }

    using Fires = std::vector<std::pair<long, long>>;
    EventManager* events = EventManager::getInstance();
    TimerManager* timers = new TimerManager();
    Recorder recorder;
};

} // namespace

TEST_F(TimerTest, SingleFireTimerFiresOnceAfterItsRateThenStaysSilent) {
    const long before = SDL_GetTicks();
    const long created = create(9, 2000, 1);
    EXPECT_EQ(tick(before + 1999), Fires{});
    EXPECT_EQ(tick(created + 2000), (Fires{{9, 1}}));
    EXPECT_EQ(tick(created + 10000), Fires{});
    EXPECT_EQ(timers->getNumFires(9), 0);
}

TEST_F(TimerTest, UnlimitedTimerReportsItsNegativeCountEveryTime) {
    const long t = create(3, 1000, -1);
    EXPECT_EQ(tick(t + 1000), (Fires{{3, -1}}));
    EXPECT_EQ(tick(t + 1500), Fires{});
    EXPECT_EQ(tick(t + 2000), (Fires{{3, -1}}));
    EXPECT_EQ(timers->getNumFires(3), -1);
}

TEST_F(TimerTest, TimerWithNoFiresNeverFires) {
    const long t = create(4, 10, 0);
    EXPECT_EQ(tick(t + 100000), Fires{});
}

TEST_F(TimerTest, LateTicksFireOncePerTickWithoutCatchingUp) {
    const long t = create(8, 1000, 5);
    EXPECT_EQ(tick(t + 1500), (Fires{{8, 5}}));
    EXPECT_EQ(tick(t + 3000), (Fires{{8, 4}}));
    // Ten periods late: still one fire, and the next period counts from this tick.
    EXPECT_EQ(tick(t + 13000), (Fires{{8, 3}}));
    EXPECT_EQ(tick(t + 13999), Fires{});
    EXPECT_EQ(tick(t + 14000), (Fires{{8, 2}}));
}

TEST_F(TimerTest, RaisingTheCountRevivesASpentTimerFromItsLastFire) {
    const long t = create(8, 1000, 1);
    EXPECT_EQ(tick(t + 1000), (Fires{{8, 1}}));
    EXPECT_EQ(tick(t + 2000), Fires{});
    timers->setNumFires(8, 2);
    EXPECT_EQ(tick(t + 3000), (Fires{{8, 2}}));
    EXPECT_EQ(tick(t + 4000), (Fires{{8, 1}}));
    EXPECT_EQ(tick(t + 5000), Fires{});
}

TEST_F(TimerTest, TimerCreatedAfterTheTickTimeCannotFireOnThatTick) {
    const long before = SDL_GetTicks();
    create(1, 0, 1);
    // A tick stamped before creation is "in the past" for the new timer.
    EXPECT_EQ(tick(before - 1), Fires{});
}

TEST_F(TimerTest, TimersSharingAnIdAreReadThroughTheFirstAndChangedTogether) {
    const long t = create(10, 1000, 2);
    create(10, 1000, 7);
    EXPECT_EQ(timers->getNumFires(10), 2);
    timers->setNumFires(10, 3);
    EXPECT_EQ(tick(t + 1000 + 50), (Fires{{10, 3}, {10, 3}}));
    timers->removeTimer(10);
    EXPECT_EQ(timers->getNumFires(10), 0);
    EXPECT_EQ(tick(t + 100000), Fires{});
}

TEST_F(TimerTest, TimersLeftWhenTheManagerGoesAreNoLongerCalled) {
    const long t = create(8, 0, -1);
    delete timers;
    timers = nullptr;
    EXPECT_EQ(tick(t + 1000), Fires{});
}

TEST_F(TimerTest, UnknownIdsReadAsZeroAndChangeNothing) {
    const long t = create(2, 1000, 1);
    EXPECT_EQ(timers->getNumFires(99), 0);
    timers->setNumFires(99, 5);
    timers->removeTimer(99);
    EXPECT_EQ(tick(t + 1000), (Fires{{2, 1}}));
}

TEST_F(TimerTest, EqualityComparesIdCountRateAndLastFire) {
    Timer a(1, 100, 2);
    Timer b = a;
    EXPECT_TRUE(a == b);
    b.setNumFires(3);
    EXPECT_FALSE(a == b);
    Timer c(2, 100, 2);
    EXPECT_FALSE(a == c);
}
