#include "Core.h"

#include "EventManager.h"
#include "GameState.h"
#include "GraphicsSystem.h"
#include "ScreenWindow.h"
#include "TestSupport.h"

#include "SDL.h"

#include <cstring>
#include <type_traits>
#include <utility>

namespace {

const std::vector<std::string> constructionLines = {
    "Core::Core() - SDL Initialized",
    "GraphicsSystem::GraphicsSystem(...) - Screen Created",
    "Core::Core() - Graphics System Initialized",
    "Core::Core() - Scene Manager Initialized",
    "Core::Core() - Timer Manager Initialized",
    "Core::Core() - Event Manager Created for First Time",
    "Core::Core() - Successful Completion",
};

// A screen that records what it hears and when it dies.
class ProbeState final : public GameState {
public:
    ProbeState(std::vector<std::string>* journal, std::string name)
        : GameState(nullptr), journal(journal), name(std::move(name)) {}
    ~ProbeState() override { journal->push_back(name + " deleted"); }
    void onEvent(Event& event) override {
        journal->push_back(name + " heard " + std::to_string(event.type));
    }
    std::vector<std::string>* journal;
    std::string name;
};

class CoreTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        writeFile("debug.txt", "left over from an earlier run\n");
        core = new Core();
        // The compatibility layer may queue window events of its own at start-up.
        SDL_Event stray;
        while (SDL_PollEvent(&stray) != 0) {
        }
        // The layer's dummy display is 1024 x 768, which opens the window at 2 x; the cases
        // speak in window pixels at 1 x unless they resize it.
        const GraphicsSystem* picture = core->getGraphicsSystem();
        windowResized(picture->getResX(), picture->getResY());
        EventManager::getInstance()->registerListener(&recorder);
    }
    void TearDown() override {
        delete core;
        SandboxTest::TearDown();
    }

    static void push(SDL_Event event) { ASSERT_GE(SDL_PushEvent(&event), 0) << SDL_GetError(); }
    // The symbol goes in as raw bits, so values beyond the library's enum can be fed in too.
    static void pushKey(Uint8 type, long key) {
        SDL_Event event{};
        event.type = type;
        event.key.type = type;
        const auto raw = static_cast<std::underlying_type_t<SDLKey>>(key);
        std::memcpy(&event.key.keysym.sym, &raw, sizeof raw);
        push(event);
    }
    static void pushMotion(Uint16 x, Uint16 y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.type = SDL_MOUSEMOTION;
        event.motion.x = x;
        event.motion.y = y;
        push(event);
    }
    static void pushButton(Uint8 type, Uint8 button, Uint16 x, Uint16 y) {
        SDL_Event event{};
        event.type = type;
        event.button.type = type;
        event.button.button = button;
        event.button.x = x;
        event.button.y = y;
        push(event);
    }

    // One pump and one delivery; returns what the listeners heard, as types and payloads.
    std::vector<std::vector<long>> pump() {
        recorder.events.clear();
        core->messagePump();
        EventManager::getInstance()->dispatchEvents();
        std::vector<std::vector<long>> heard;
        for (const Event& e : recorder.events) {
            std::vector<long> entry{e.type};
            for (const DataItem& item : e.data) {
                entry.push_back(item.getLongVal());
            }
            heard.push_back(entry);
        }
        return heard;
    }

    using Heard = std::vector<std::vector<long>>;
    Core* core = nullptr;
    Recorder recorder;
};

} // namespace

TEST_F(CoreTest, ConstructionEmptiesTheLogThenWritesItsLinesInOrder) {
    EXPECT_EQ(logLines(), constructionLines);
    EXPECT_TRUE(core->getGraphicsSystem()->isOpen());
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "Zandorel");
}

TEST_F(CoreTest, KeyDownThenUpGivesDownThenUpAndPressed) {
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYUP, SDLK_a);
    EXPECT_EQ(pump(), (Heard{{EVENT_INIT}, {EVENT_KEY_DOWN, SDLK_a}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_UP, SDLK_a}, {EVENT_KEY_PRESSED, SDLK_a}}));
    // The latch was cleared: a second release alone is only an up.
    pushKey(SDL_KEYUP, SDLK_a);
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_UP, SDLK_a}}));
}

TEST_F(CoreTest, KeyUpWithoutItsDownIsOnlyAnUp) {
    pump();
    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_UP, SDLK_ESCAPE}}));
}

TEST_F(CoreTest, KeySymbolsBeyondTheLatchesAreReportedButNeverPressed) {
    pump();
    const long huge = 5000;
    pushKey(SDL_KEYDOWN, huge);
    pushKey(SDL_KEYUP, huge);
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_DOWN, 5000}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_UP, 5000}}));
}

TEST_F(CoreTest, ButtonEventsCarryTheLastMotionNotTheirOwnPosition) {
    pump();
    pushMotion(10, 20);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 99, 98);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 97, 96);
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_MOTION, 10, 20}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_DOWN, 1, 10, 20}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 1}, {EVENT_MOUSE_CLICKED, 1, 10, 20}}));
}

TEST_F(CoreTest, DragReleasesAtTheLastMotion) {
    pump();
    pushMotion(5, 5);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 5);
    pushMotion(200, 150);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 0, 0);
    pump();
    pump();
    pump();
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 3}, {EVENT_MOUSE_CLICKED, 3, 200, 150}}));
}

TEST_F(CoreTest, FirstClickBeforeAnyMotionLandsWhereThePointerIs) {
    pump();
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 42, 43);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 44, 45);
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_DOWN, 1, 42, 43}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 1}, {EVENT_MOUSE_CLICKED, 1, 44, 45}}));
}

TEST_F(CoreTest, AResizedWindowPostsNothingFollowsTheNewestSizeAndThePointerLandsOnThePicture) {
    pump();
    SDL_Event resize{};
    resize.type = SDL_VIDEORESIZE;
    resize.resize.w = 800; // 2 x, the picture from (144, 60) to (655, 539)
    resize.resize.h = 600;
    push(resize);
    EXPECT_EQ(pump(), Heard{});
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 144 + 85, 60 + 41);
    pushMotion(143, 59);
    pushMotion(655, 539);
    pushMotion(799, 0);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 0, 0);
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_DOWN, 1, 42, 20}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_MOTION, 0, 0}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_MOTION, 255, 239}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_MOTION, 255, 0}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 1}, {EVENT_MOUSE_CLICKED, 1, 255, 0}}));
    EXPECT_EQ(SDL_GetVideoSurface()->w, 800);
    // A burst: only the newest size counts. The pointer has not moved since, so the click
    // lands where its own position is under the picture placed anew (3 x from (116, 20)).
    for (const auto& [width, height] : {std::pair{1000, 700}, {200, 150}, {1000, 760}}) {
        resize.resize.w = width;
        resize.resize.h = height;
        push(resize);
    }
    EXPECT_EQ(pump(), Heard{});
    EXPECT_EQ(SDL_GetVideoSurface()->w, 1000);
    EXPECT_EQ(SDL_GetVideoSurface()->h, 760);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 116 + 3 * 30 + 2, 20 + 3 * 40);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 116 + 3 * 30, 20 + 3 * 40 + 2);
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_DOWN, 1, 30, 40}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 1}, {EVENT_MOUSE_CLICKED, 1, 30, 40}}));
    EXPECT_EQ(pump(), Heard{}) << "an older resize of the burst was left waiting";
}

TEST_F(CoreTest, WheelButtonsGiveTheirOwnDownUpAndClick) {
    pump();
    pushMotion(1, 2);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, 1, 2);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_WHEELDOWN, 1, 2);
    pump();
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_DOWN, 5, 1, 2}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_MOUSE_UP, 5}, {EVENT_MOUSE_CLICKED, 5, 1, 2}}));
}

TEST_F(CoreTest, ClosingTheWindowPostsOneQuitAndTouchesNoLatch) {
    pump();
    pushKey(SDL_KEYDOWN, SDLK_b);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    pushKey(SDL_KEYUP, SDLK_b);
    pump();
    EXPECT_EQ(pump(), (Heard{{EVENT_QUIT}}));
    EXPECT_EQ(pump(), (Heard{{EVENT_KEY_UP, SDLK_b}, {EVENT_KEY_PRESSED, SDLK_b}}));
    EXPECT_EQ(pump(), Heard{});
}

TEST_F(CoreTest, EscapeEndsTheGameOnReleaseAfterFinishingThePass) {
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    // The browser's main hands its end of the game to run: the Core is deleted from within it.
    std::size_t linesWhenEnded = 0;
    core->run([this, &linesWhenEnded] {
        linesWhenEnded = logLines().size();
        delete core;
        core = nullptr;
    });
    EXPECT_EQ(core, nullptr);
    EXPECT_EQ(linesWhenEnded, logLines().size());
    // Pass one: init, the key going down, its tick. Pass two: up, pressed, and still its tick.
    EXPECT_EQ(recorder.types(), (std::vector<int>{EVENT_INIT, EVENT_KEY_DOWN, EVENT_TICK,
                                                  EVENT_KEY_UP, EVENT_KEY_PRESSED, EVENT_TICK}));
    const auto lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[constructionLines.size()], "Core::run() - stateManager Created");
    EXPECT_EQ(lines.back(), "Core::run() - Successful Game Termination");
}

TEST_F(CoreTest, ChangeWithoutNextStateStopsWithoutAttemptingAChange) {
    postEvent(EVENT_CHANGE_STATE);
    core->run();
    for (const std::string& line : logLines()) {
        EXPECT_NE(line, "Core::onEvent(...) - Attempting to Change State");
    }
    EXPECT_EQ(logLines().back(), "Core::run() - Successful Game Termination");
}

TEST_F(CoreTest, StateChangedAfterStopInTheSamePassIsInstalledThenDeletedAtTheEnd) {
    std::vector<std::string> journal;
    EventManager* events = EventManager::getInstance();
    postEvent(EVENT_QUIT);
    Event first(EVENT_CHANGE_STATE);
    first.nextState = new ProbeState(&journal, "A");
    events->postEvent(first);
    Event second(EVENT_CHANGE_STATE);
    second.nextState = new ProbeState(&journal, "B");
    events->postEvent(second);
    core->run();
    // A is installed by the first change and replaced by the second; B hears the rest of its
    // own change and that pass's tick, then goes with the state manager.
    EXPECT_EQ(journal, (std::vector<std::string>{"A heard 14", "A deleted", "B heard 14",
                                                 "B heard 10", "B deleted"}));
    int attempts = 0;
    for (const std::string& line : logLines()) {
        attempts += line == "Core::onEvent(...) - Attempting to Change State";
    }
    EXPECT_EQ(attempts, 2);
}

TEST_F(CoreTest, ChangeOutsideTheMainLoopDoesNotLeakTheState) {
    std::vector<std::string> journal;
    Event change(EVENT_CHANGE_STATE);
    change.nextState = new ProbeState(&journal, "A");
    EventManager::getInstance()->postEvent(change);
    EventManager::getInstance()->dispatchEvents();
    EXPECT_EQ(journal, std::vector<std::string>{"A deleted"});
}

TEST(CoreFolderTest, StartingWithoutPicturesSaysWhereItLookedAndGoesOn) {
    const auto previous = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "zandorel-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    std::filesystem::current_path(pattern);
    testing::internal::CaptureStderr();
    Core* core = new Core();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(pattern + "/graphics/"), std::string::npos) << said;
    EXPECT_NE(said.find("cd build && ./zandorel"), std::string::npos) << said;
    EXPECT_TRUE(core->getGraphicsSystem()->isOpen());
    delete core;
    SDL_Quit();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(pattern);
}
