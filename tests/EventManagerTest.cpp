#include "EventManager.h"

#include "TestSupport.h"

#include "SDL.h"

#include <functional>

namespace {

// A listener whose reaction is given by the test; it records what it heard.
class Scripted final : public IEventListener {
public:
    explicit Scripted(std::string name, std::vector<std::string>* journal)
        : name(std::move(name)), journal(journal) {}
    void onEvent(Event& event) override {
        journal->push_back(name + ":" + std::to_string(event.type));
        if (react) {
            react(event);
        }
    }
    std::string name;
    std::vector<std::string>* journal;
    std::function<void(Event&)> react;
};

class EventManagerTest : public ::testing::Test {
protected:
    void TearDown() override { EventManager::deleteInstance(); }
    EventManager* events = EventManager::getInstance();
    std::vector<std::string> journal;
};

} // namespace

TEST_F(EventManagerTest, EmptyQueueCallsNobody) {
    Scripted a("a", &journal);
    events->registerListener(&a);
    events->dispatchEvents();
    EXPECT_TRUE(journal.empty());
}

TEST_F(EventManagerTest, EachEventReachesAllListenersInOrderBeforeTheNext) {
    Scripted a("a", &journal), b("b", &journal);
    events->registerListener(&a);
    events->registerListener(&b);
    postEvent(EVENT_INIT);
    postEvent(EVENT_QUIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"a:7", "b:7", "a:8", "b:8"}));
}

TEST_F(EventManagerTest, EventPostedDuringDeliveryComesAfterEverythingQueued) {
    Scripted a("a", &journal), b("b", &journal);
    a.react = [](Event& e) {
        if (e.type == EVENT_INIT) {
            postEvent(EVENT_TICK, {5});
        }
    };
    events->registerListener(&a);
    events->registerListener(&b);
    postEvent(EVENT_INIT);
    postEvent(EVENT_QUIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"a:7", "b:7", "a:8", "b:8", "a:10", "b:10"}));
}

TEST_F(EventManagerTest, ListenerRegisteredDuringDeliveryGetsSameEvent) {
    Scripted a("a", &journal), late("late", &journal);
    a.react = [&](Event& e) {
        if (e.type == EVENT_INIT) {
            events->registerListener(&late);
        }
    };
    events->registerListener(&a);
    postEvent(EVENT_INIT);
    postEvent(EVENT_QUIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"a:7", "late:7", "a:8", "late:8"}));
}

TEST_F(EventManagerTest, ListenerRemovedBeforeTheWalkReachesItMissesTheEvent) {
    Scripted a("a", &journal), b("b", &journal), c("c", &journal);
    a.react = [&](Event& e) {
        if (e.type == EVENT_INIT) {
            events->removeListener(&b);
        }
    };
    events->registerListener(&a);
    events->registerListener(&b);
    events->registerListener(&c);
    postEvent(EVENT_INIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"a:7", "c:7"}));
}

TEST_F(EventManagerTest, DuplicateListenerHearsTwiceAndOneRemovalTakesBoth) {
    Scripted a("a", &journal), b("b", &journal);
    events->registerListener(&a);
    events->registerListener(&b);
    events->registerListener(&a);
    postEvent(EVENT_INIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"a:7", "b:7", "a:7"}));

    journal.clear();
    events->removeListener(&a);
    Scripted stranger("x", &journal);
    events->removeListener(&stranger);
    postEvent(EVENT_INIT);
    events->dispatchEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"b:7"}));
}

TEST_F(EventManagerTest, PostingStampsTheCallersEventAndQueuesACopy) {
    ASSERT_EQ(SDL_Init(0), 0);
    Recorder recorder;
    events->registerListener(&recorder);
    Event event(EVENT_TILE_CHANGED, {DataItem(1L), DataItem(2L)});
    const Uint32 before = SDL_GetTicks();
    events->postEvent(event);
    const Uint32 after = SDL_GetTicks();
    EXPECT_GE(event.time, before);
    EXPECT_LE(event.time, after);
    event.data[0] = 50L; // the queue must not see changes made after posting
    events->dispatchEvents();
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].time, event.time);
    EXPECT_EQ(recorder.events[0].data[0].getLongVal(), 1);
    SDL_Quit();
}

TEST_F(EventManagerTest, DeleteInstanceLeavesNoInstanceAndForgetsEverything) {
    Scripted a("a", &journal);
    events->registerListener(&a);
    postEvent(EVENT_INIT);
    EventManager::deleteInstance();
    EventManager* fresh = EventManager::getInstance();
    fresh->dispatchEvents();
    postEvent(EVENT_QUIT);
    fresh->dispatchEvents();
    EXPECT_TRUE(journal.empty());
    events = fresh;
}
