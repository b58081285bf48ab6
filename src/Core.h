// The engine: owns the managers, runs the main loop and turns input into game events.
#ifndef ZANDOREL_CORE_H
#define ZANDOREL_CORE_H

#include "IEventListener.h"

#include <functional>
#include <string>

class GameState;
class GraphicsSystem;
class SceneManager;
class StateManager;
class TimerManager;

// Only Core itself hands itself to the event manager, hence the private base.
class Core final : private IEventListener {
public:
    Core();
    ~Core();

    // Runs the game from the title screen until something asks it to stop, then calls ended,
    // the last of the game: it may delete this Core. On the desktop that happens before run
    // returns; in the browser run returns at once and the game ends in a later animation frame,
    // when main has long returned, so what main would do after the game must be in ended.
    void run(const std::function<void()>& ended = {});

    // run() in its three steps, for tests and benchmarks that drive the loop themselves:
    // start() installs the title screen, pass() is one turn of the main loop, and finish()
    // takes the current screen down.
    void start();
    void pass();
    void finish();
    bool isRunning() const { return running; }
    GameState* getCurrentState() const;
    // Takes at most one input event from the media library and posts the game events it means.
    void messagePump();

    GraphicsSystem* getGraphicsSystem() const { return graphicsSystem; }
    SceneManager* getSceneManager() const { return sceneManager; }
    TimerManager* getTimerManager() const { return timerManager; }

    // Appends one line to debug.txt, through the log room below every other (Log::write).
    static void log(const std::string& message);

    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

private:
    void onEvent(Event& event) override;
    void warnIfNoPictures() const;

    static constexpr int numMouseButtons = 256;
    static constexpr int numKeys = 1024;

    bool running = false;
    GraphicsSystem* graphicsSystem = nullptr; // owned
    SceneManager* sceneManager = nullptr;     // owned
    TimerManager* timerManager = nullptr;     // owned
    StateManager* stateManager = nullptr;     // owned, only while run() runs
    bool mouseButtonDown[numMouseButtons] = {};
    bool keyDown[numKeys] = {};
    int mouseX = 0;
    int mouseY = 0;
    // Until the pointer has moved, button events carry their own position, so that the very
    // first click lands where the pointer is; and so do they once the picture was placed anew
    // since that motion (X tells of no motion when a window changes under a still pointer).
    bool mouseMoved = false;
    unsigned mousePlacement = 0; // the picture's placement the last motion was mapped with
};

#endif
