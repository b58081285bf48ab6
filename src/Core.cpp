#include "Core.h"

#include "Event.h"
#include "EventManager.h"
#include "GameState.h"
#include "GameStateIntro.h"
#include "GraphicsSystem.h"
#include "Log.h"
#include "PassLoop.h"
#include "SceneManager.h"
#include "ScreenWindow.h"
#include "StateManager.h"
#include "TimerManager.h"
#include "VideoDriver.h"
#include "WorkingFolder.h"

#include "SDL.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <type_traits>

namespace {

const char* const imageDirectory = "./graphics/";

// Reads the key symbol as a plain number: where the media library's key type is an enum, it
// cannot hold every value a key event may carry, and loading such a value through the enum is
// undefined. Some ports declare it a plain integer, which is read as it is.
template <typename T, bool = std::is_enum_v<T>> struct Raw {
    using type = std::underlying_type_t<T>;
};
template <typename T> struct Raw<T, false> { using type = T; };

int keySymbol(const SDL_Event& input) {
    Raw<decltype(input.key.keysym.sym)>::type raw;
    std::memcpy(&raw, &input.key.keysym.sym, sizeof raw);
    return static_cast<int>(raw);
}

// The payload is sized once: growing it item by item would allocate again for every item.
void post(int type, std::initializer_list<long> payload) {
    Event event(type);
    event.data.reserve(payload.size());
    for (long item : payload) {
        event.data.emplace_back(item);
    }
    EventManager::getInstance()->postEvent(event);
}

} // namespace

void Core::log(const std::string& message) {
    Log::write(message);
}

Core::Core() {
    Log::start();
    chooseVideoDefaults();
    SDL_Init(SDL_INIT_VIDEO);
    log("Core::Core() - SDL Initialized");
    graphicsSystem = new GraphicsSystem(256, 240, 16, false);
    graphicsSystem->setImageDirectory(imageDirectory);
    log("Core::Core() - Graphics System Initialized");
    warnIfNoPictures();
    sceneManager = new SceneManager();
    log("Core::Core() - Scene Manager Initialized");
    timerManager = new TimerManager();
    log("Core::Core() - Timer Manager Initialized");
    SDL_WM_SetCaption("Zandorel", nullptr);
    EventManager* events = EventManager::getInstance();
    log("Core::Core() - Event Manager Created for First Time");
    events->registerListener(this);
    Event init(EVENT_INIT);
    events->postEvent(init);
    log("Core::Core() - Successful Completion");
}

// A newcomer who starts the binary from the wrong folder would otherwise see a black window
// and no hint why.
void Core::warnIfNoPictures() const {
    std::error_code error;
    if (std::filesystem::is_directory(imageDirectory, error)) {
        return;
    }
    const auto here = std::filesystem::current_path(error);
    // Ends in the system's own separator: a backslash on Windows.
    const std::string looked = (here / "graphics" / "").string();
    // Logged first: on Windows the player is told in a box that waits for them.
    log("Core::Core() - No Picture Folder: " + looked);
    tellPlayer("zandorel: no pictures: the folder " + looked + " does not exist.\n" +
               startFolderAdvice());
}

Core::~Core() {
    delete timerManager;
    delete sceneManager;
    delete graphicsSystem;
    EventManager::deleteInstance();
}

void Core::run(const std::function<void()>& ended) {
    start();
    // Nothing of this Core is touched after ended: it may have deleted it.
    runPasses(
        [this] {
            pass();
            return running;
        },
        [this, ended] {
            finish();
            if (ended) {
                ended();
            }
        });
}

void Core::start() {
    stateManager = new StateManager();
    log("Core::run() - stateManager Created");
    stateManager->changeState(new GameStateIntro(this));
    log("Core::run() - State Changed to Initial State");
    running = true;
}

// The loop never sleeps: every pass polls, ticks, delivers and repaints the whole screen.
void Core::pass() {
    messagePump();
    post(EVENT_TICK, {static_cast<long>(SDL_GetTicks())});
    EventManager::getInstance()->dispatchEvents();
    graphicsSystem->clear();
    sceneManager->paint();
    graphicsSystem->flip();
}

void Core::finish() {
    delete stateManager;
    stateManager = nullptr;
    log("Core::run() - Successful Game Termination");
}

GameState* Core::getCurrentState() const {
    return stateManager != nullptr ? stateManager->getState() : nullptr;
}

// Escape acts on release, after its press was seen: EVENT_KEY_PRESSED, not EVENT_KEY_DOWN.
void Core::onEvent(Event& event) {
    if (event.type == EVENT_CHANGE_STATE) {
        if (event.nextState == nullptr) {
            running = false;
        } else if (stateManager == nullptr) {
            // Outside run() there is no screen to replace; the new state would only leak.
            delete event.nextState;
        } else {
            log("Core::onEvent(...) - Attempting to Change State");
            stateManager->changeState(event.nextState);
        }
    }
    if (event.type == EVENT_KEY_PRESSED && !event.data.empty() &&
        event.data[0].getLongVal() == SDLK_ESCAPE) {
        running = false;
    }
    if (event.type == EVENT_QUIT) {
        running = false;
    }
}

void Core::messagePump() {
    SDL_Event input;
    if (SDL_PollEvent(&input) == 0) {
        return;
    }
    switch (input.type) {
    case SDL_KEYDOWN: {
        const int key = keySymbol(input);
        post(EVENT_KEY_DOWN, {key});
        if (key >= 0 && key < numKeys) {
            keyDown[key] = true;
        }
        break;
    }
    case SDL_KEYUP: {
        const int key = keySymbol(input);
        const bool known = key >= 0 && key < numKeys;
        post(EVENT_KEY_UP, {key});
        if (known && keyDown[key]) {
            post(EVENT_KEY_PRESSED, {key});
        }
        if (known) {
            keyDown[key] = false;
        }
        break;
    }
    case SDL_MOUSEMOTION: {
        int x = input.motion.x;
        int y = input.motion.y;
        toPicturePixel(x, y);
        post(EVENT_MOUSE_MOTION, {x, y});
        mouseX = x;
        mouseY = y;
        mouseMoved = true;
        mousePlacement = placementCount();
        break;
    }
    case SDL_MOUSEBUTTONDOWN: {
        const int button = input.button.button; // 8 bits: always inside the latch array
        if (!mouseMoved || mousePlacement != placementCount()) {
            mouseX = input.button.x;
            mouseY = input.button.y;
            toPicturePixel(mouseX, mouseY);
        }
        post(EVENT_MOUSE_DOWN, {button, mouseX, mouseY});
        mouseButtonDown[button] = true;
        break;
    }
    case SDL_MOUSEBUTTONUP: {
        const int button = input.button.button;
        if (!mouseMoved || mousePlacement != placementCount()) {
            mouseX = input.button.x;
            mouseY = input.button.y;
            toPicturePixel(mouseX, mouseY);
        }
        post(EVENT_MOUSE_UP, {button});
        if (mouseButtonDown[button]) {
            post(EVENT_MOUSE_CLICKED, {button, mouseX, mouseY});
        }
        mouseButtonDown[button] = false;
        break;
    }
    case SDL_QUIT:
        post(EVENT_QUIT, {});
        break;
    // The window's own business: no game event, and the picture keeps its pixels.
    case SDL_VIDEORESIZE:
        windowResized(input.resize.w, input.resize.h);
        break;
    case SDL_VIDEOEXPOSE:
        windowExposed();
        break;
    default:
        break;
    }
}
