#include "Button.h"

#include "EventManager.h"
#include "GraphicsSystem.h"
#include "TestSupport.h"

namespace {

// The strip's frames are red (normal), green (hover) and blue (pressed).

// A 10 x 6 button at (50, 40): inside means 51..59 across and 41..45 down.
constexpr int left = 50;
constexpr int top = 40;
constexpr int frameWidth = 10;
constexpr int frameHeight = 6;

class ButtonTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        // One spare column: the frame width rounds down and the spare column is never shown.
        writeBands("button.bmp", 3 * frameWidth + 1, frameHeight, {red, green, blue});
        events = EventManager::getInstance();
        events->registerListener(&recorder);
    }

    // The colour of the frame the button shows, read from the middle of its face.
    Colour shownFrame(Button& button) {
        graphics->clear();
        button.paint();
        return pixel(left + frameWidth / 2, top + frameHeight / 2);
    }

    std::vector<long> clickedIds() const {
        std::vector<long> ids;
        for (const Event& event : recorder.events) {
            if (event.type == EVENT_BUTTON_CLICKED) {
                EXPECT_EQ(event.data.size(), 1u);
                ids.push_back(event.data.at(0).getLongVal());
            }
        }
        return ids;
    }

    EventManager* events = nullptr;
    Recorder recorder;
};

struct Step {
    int type;
    std::vector<long> payload;
};

void post(const Step& step) {
    Event event(step.type);
    for (long item : step.payload) {
        event.data.emplace_back(item);
    }
    EventManager::getInstance()->postEvent(event);
}

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    Colour frameAfter;
    int clicks;
};

} // namespace

TEST_F(ButtonTest, FramesAreAThirdOfTheStripAndTheSpareColumnIsNeverDrawn) {
    Button button(graphics, 0, "button.bmp", left, top);
    postEvent(EVENT_MOUSE_DOWN, {MOUSE_LEFT, left + 1, top + 1});
    events->registerListener(&button);
    events->dispatchEvents();
    graphics->clear();
    button.paint();
    EXPECT_EQ(pixel(left, top), asShown(blue));
    EXPECT_EQ(pixel(left + frameWidth - 1, top + frameHeight - 1), asShown(blue));
    EXPECT_EQ(pixel(left + frameWidth, top), black);
    EXPECT_EQ(pixel(left, top + frameHeight), black);
}

TEST_F(ButtonTest, PressReleaseAndDragFollowTheStateMachine) {
    const long in = left + 5;
    const long mid = top + 3;
    const std::vector<Scenario> scenarios = {
        {"press and release in place",
         {{EVENT_MOUSE_MOTION, {in, mid}},
          {EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}},
          {EVENT_MOUSE_UP, {MOUSE_LEFT}},
          {EVENT_MOUSE_CLICKED, {MOUSE_LEFT, in, mid}}},
         green,
         1},
        {"press without motion first", {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}}}, blue, 0},
        {"mouse up alone does not release",
         {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}}, {EVENT_MOUSE_UP, {MOUSE_LEFT}}},
         blue,
         0},
        {"moving inside keeps the press",
         {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}}, {EVENT_MOUSE_MOTION, {in + 3, mid + 1}}},
         blue,
         0},
        {"drag off then release",
         {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}},
          {EVENT_MOUSE_MOTION, {left + frameWidth, mid}},
          {EVENT_MOUSE_CLICKED, {MOUSE_LEFT, left + frameWidth, mid}}},
         red,
         0},
        {"drag off and back then release",
         {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, mid}},
          {EVENT_MOUSE_MOTION, {in, top}},
          {EVENT_MOUSE_MOTION, {in, mid}},
          {EVENT_MOUSE_CLICKED, {MOUSE_LEFT, in, mid}}},
         green,
         0},
        {"right press over the button",
         {{EVENT_MOUSE_MOTION, {in, mid}},
          {EVENT_MOUSE_DOWN, {MOUSE_RIGHT, in, mid}},
          {EVENT_MOUSE_CLICKED, {MOUSE_RIGHT, in, mid}}},
         green,
         0},
        {"middle press", {{EVENT_MOUSE_DOWN, {MOUSE_MIDDLE, in, mid}}}, red, 0},
        {"click with no press", {{EVENT_MOUSE_CLICKED, {MOUSE_LEFT, in, mid}}}, red, 0},
        {"nearest corners inside",
         {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, left + 1, top + 1}},
          {EVENT_MOUSE_MOTION, {left + frameWidth - 1, top + frameHeight - 1}},
          {EVENT_MOUSE_CLICKED, {MOUSE_LEFT, 0, 0}}},
         green,
         1},
        {"left edge", {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, left, mid}}}, red, 0},
        {"top edge", {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, top}}}, red, 0},
        {"right edge", {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, left + frameWidth, mid}}}, red, 0},
        {"bottom edge", {{EVENT_MOUSE_DOWN, {MOUSE_LEFT, in, top + frameHeight}}}, red, 0},
        {"hover on the edge", {{EVENT_MOUSE_MOTION, {left, mid}}}, red, 0},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        recorder.events.clear();
        Button button(graphics, 7, "button.bmp", left, top);
        events->registerListener(&button);
        for (const Step& step : scenario.steps) {
            post(step);
        }
        events->dispatchEvents();
        events->removeListener(&button);
        EXPECT_EQ(shownFrame(button), asShown(scenario.frameAfter));
        EXPECT_EQ(clickedIds(), std::vector<long>(scenario.clicks, 7));
    }
}

TEST_F(ButtonTest, OverlappingButtonsEachFireTheirOwnId) {
    Button start(graphics, 0, "button.bmp", left, top);
    Button exit(graphics, 2, "button.bmp", left + 4, top + 2);
    events->registerListener(&start);
    events->registerListener(&exit);
    postEvent(EVENT_MOUSE_DOWN, {MOUSE_LEFT, left + 6, top + 3});
    postEvent(EVENT_MOUSE_CLICKED, {MOUSE_LEFT, left + 6, top + 3});
    events->dispatchEvents();
    EXPECT_EQ(clickedIds(), (std::vector<long>{0, 2}));
}

TEST_F(ButtonTest, DestroyingReleasesTheStripAtOnce) {
    auto* button = new Button(graphics, 0, "button.bmp", left, top);
    delete button;
    EXPECT_EQ(logLines().back(), "Freeing Resource: button.bmp");
}

TEST_F(ButtonTest, MissingStripGivesAButtonThatCannotBePressed) {
    Button button(graphics, 0, "absent.bmp", left, top);
    events->registerListener(&button);
    postEvent(EVENT_MOUSE_DOWN, {MOUSE_LEFT, left, top});
    postEvent(EVENT_MOUSE_DOWN, {MOUSE_LEFT, left + 1, top + 1});
    postEvent(EVENT_MOUSE_CLICKED, {MOUSE_LEFT, left + 1, top + 1});
    events->dispatchEvents();
    EXPECT_TRUE(clickedIds().empty());
    EXPECT_EQ(shownFrame(button), black);
}
