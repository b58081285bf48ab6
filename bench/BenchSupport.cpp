#include "BenchSupport.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStateGameOver.h"
#include "GameStateHighScores.h"
#include "GameStateIntro.h"
#include "GameStateLevelTransition.h"
#include "GameStatePlay.h"
#include "TimerManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {

// Setting up a screen that is not what it should be would measure the wrong thing quietly.
[[noreturn]] void fail(const std::string& why) {
    std::cerr << "zandorel benchmarks: " << why << '\n';
    std::exit(2);
}

const char* const loadLine = "Loading Resource: ";

} // namespace

const char* screenName(Screen screen) {
    switch (screen) {
    case Screen::Title:
        return "title";
    case Screen::Tutorial:
        return "tutorial";
    case Screen::Play:
        return "play";
    case Screen::GameOver:
        return "gameover";
    case Screen::HighScores:
        return "highscores";
    }
    return "?";
}

const std::vector<Screen>& allScreens() {
    static const std::vector<Screen> screens = {Screen::Title, Screen::Tutorial, Screen::Play,
                                                Screen::GameOver, Screen::HighScores};
    return screens;
}

Sandbox::Sandbox() {
    previousFolder = fs::current_path();
    if (!fs::exists(previousFolder / "graphics" / "title.bmp") ||
        !fs::exists(previousFolder / "data" / ("level" + std::to_string(benchLevel) + ".txt"))) {
        fail("start me from the folder that holds graphics/ and data/ (the build folder)");
    }
    std::string pattern = (fs::temp_directory_path() / "zandorel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        fail("cannot make a scratch folder in " + fs::temp_directory_path().string());
    }
    folder = pattern;
    fs::create_directory_symlink(previousFolder / "graphics", folder / "graphics");
    fs::create_directory(folder / "data");
    for (const auto& entry : fs::directory_iterator(previousFolder / "data")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("level", 0) == 0) {
            fs::create_symlink(entry.path(), folder / "data" / name);
        }
    }
    fs::current_path(folder);
    resetHighScores();
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    fs::current_path(previousFolder, ignored);
    fs::remove_all(folder, ignored);
}

void Sandbox::resetHighScores() {
    std::ofstream table("data/highscores.txt", std::ios::trunc);
    table << "900\n750\n600\n450\n300\n";
}

std::vector<BareBlit> toBare(const std::vector<BlitRecord>& records) {
    std::vector<BareBlit> blits;
    blits.reserve(records.size());
    for (const BlitRecord& record : records) {
        const Rect& s = record.src;
        const Rect& d = record.dst;
        blits.push_back(BareBlit{record.surface,
                                 SDL_Rect{static_cast<Sint16>(s.x), static_cast<Sint16>(s.y),
                                          static_cast<Uint16>(s.w), static_cast<Uint16>(s.h)},
                                 SDL_Rect{static_cast<Sint16>(d.x), static_cast<Sint16>(d.y),
                                          static_cast<Uint16>(d.w), static_cast<Uint16>(d.h)}});
    }
    return blits;
}

// The copies get fresh rectangles each time, as the game's do: the blit writes its clipped
// result back into the destination.
void barePass(SDL_Surface* screen, const std::vector<BareBlit>& blits) {
    SDL_FillRect(screen, nullptr, 0);
    for (const BareBlit& blit : blits) {
        SDL_Rect src = blit.src;
        SDL_Rect dst = blit.dst;
        SDL_UpperBlit(blit.surface, &src, screen, &dst);
    }
    SDL_Flip(screen);
}

void bareScaledPass(SDL_Surface* picture, SDL_Surface* window, int scale,
                    const std::vector<BareBlit>& blits) {
    SDL_FillRect(picture, nullptr, 0);
    for (const BareBlit& blit : blits) {
        SDL_Rect src = blit.src;
        SDL_Rect dst = blit.dst;
        SDL_UpperBlit(blit.surface, &src, picture, &dst);
    }
    const int bytes = picture->format->BytesPerPixel;
    const std::size_t row = static_cast<std::size_t>(picture->w) * scale * bytes;
    for (int y = 0; y < picture->h; ++y) {
        const auto* from = static_cast<const Uint8*>(picture->pixels) + y * picture->pitch;
        auto* to = static_cast<Uint8*>(window->pixels) + y * scale * window->pitch;
        for (int x = 0; x < picture->w * scale; ++x) {
            std::memcpy(to + x * bytes, from + (x / scale) * bytes, bytes);
        }
        for (int copy = 1; copy < scale; ++copy) {
            std::memcpy(to + copy * window->pitch, to, row);
        }
    }
    SDL_Flip(window);
}

Game::Game() {
    engine = new Core();
    engine->start();
    engine->pass();
}

Game::~Game() {
    engine->finish();
    delete engine;
    SDL_Quit();
}

void Game::install(GameState* next) {
    Event change(EVENT_CHANGE_STATE);
    change.nextState = next;
    EventManager* events = EventManager::getInstance();
    events->postEvent(change);
    events->dispatchEvents();
}

void Game::show(Screen screen) {
    GameState* current = engine->getCurrentState();
    switch (screen) {
    case Screen::Title:
        if (dynamic_cast<GameStateIntro*>(current) == nullptr) {
            install(new GameStateIntro(engine));
        }
        break;
    case Screen::Tutorial:
        install(new GameStateLevelTransition(engine, 1, 0));
        break;
    case Screen::Play: {
        // Timers go by id: one play screen must never replace another directly.
        if (dynamic_cast<GameStatePlay*>(current) != nullptr) {
            install(new GameStateIntro(engine));
        }
        install(new GameStatePlay(engine, benchLevel, benchScore));
        // The preview timer started on the real clock; a tick a preview on ends it, and the
        // countdown then runs on the real clock like any other.
        Event tick(EVENT_TICK);
        tick.data.emplace_back(static_cast<long>(SDL_GetTicks()) +
                               GameStatePlay::previewMilliseconds);
        EventManager::getInstance()->postEvent(tick);
        EventManager::getInstance()->dispatchEvents();
        if (engine->getTimerManager()->getNumFires(GameStatePlay::TIMER_COUNTDOWN) <= 0) {
            fail("the play screen did not start its countdown");
        }
        break;
    }
    case Screen::GameOver:
        Sandbox::resetHighScores();
        install(new GameStateGameOver(engine, benchScore));
        break;
    case Screen::HighScores:
        Sandbox::resetHighScores();
        install(new GameStateHighScores(engine));
        break;
    }
    // Settle: the labels take their text and the scene's scratch list its size.
    for (int i = 0; i < 3; ++i) {
        engine->pass();
    }
    current = engine->getCurrentState();
    const bool right =
        (screen == Screen::Title && dynamic_cast<GameStateIntro*>(current) != nullptr) ||
        (screen == Screen::Tutorial &&
         dynamic_cast<GameStateLevelTransition*>(current) != nullptr) ||
        (screen == Screen::Play && dynamic_cast<GameStatePlay*>(current) != nullptr) ||
        (screen == Screen::GameOver && dynamic_cast<GameStateGameOver*>(current) != nullptr) ||
        (screen == Screen::HighScores && dynamic_cast<GameStateHighScores*>(current) != nullptr);
    if (!right || !engine->isRunning()) {
        fail(std::string("could not bring the game to the ") + screenName(screen) + " screen");
    }
}

namespace {

std::vector<Uint8> pixels(SDL_Surface* surface) {
    SDL_LockSurface(surface);
    const auto* first = static_cast<const Uint8*>(surface->pixels);
    std::vector<Uint8> copy(first, first + static_cast<std::size_t>(surface->pitch) * surface->h);
    SDL_UnlockSurface(surface);
    return copy;
}

} // namespace

// The replay must leave the very frame the game left, or it prices other pixel work.
std::vector<BareBlit> Game::recordPass() {
    std::vector<BlitRecord> records;
    engine->getGraphicsSystem()->setBlitRecording(&records);
    engine->pass();
    engine->getGraphicsSystem()->setBlitRecording(nullptr);
    if (records.empty()) {
        fail("a pass drew nothing: are the pictures there?");
    }
    std::vector<BareBlit> blits = toBare(records);
    const std::vector<Uint8> frame = pixels(screen());
    SDL_FillRect(screen(), nullptr, 0xFFFF);
    barePass(screen(), blits);
    if (pixels(screen()) != frame) {
        fail("the bare replay drew another frame than the game");
    }
    return blits;
}

std::vector<SDL_Event> makeBurst(int size) {
    std::vector<SDL_Event> burst;
    const int clicks = 4;
    const int motions = size - 2 * clicks;
    for (int click = 0; click < clicks; ++click) {
        const int first = motions * click / clicks;
        const int last = motions * (click + 1) / clicks;
        for (int step = first; step < last; ++step) {
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION;
            motion.motion.x = static_cast<Uint16>(step * 255 / motions);
            motion.motion.y = static_cast<Uint16>(step * 239 / motions);
            burst.push_back(motion);
        }
        for (Uint8 type : {Uint8(SDL_MOUSEBUTTONDOWN), Uint8(SDL_MOUSEBUTTONUP)}) {
            SDL_Event press{};
            press.type = type;
            press.button.button = SDL_BUTTON_RIGHT;
            press.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            burst.push_back(press);
        }
    }
    return burst;
}

int pendingInput() {
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_ALLEVENTS);
}

void drainInput(Core& core) {
    while (pendingInput() > 0) {
        core.messagePump();
    }
    EventManager::getInstance()->dispatchEvents();
}

Core* startGame() {
    Core* core = new Core();
    core->start();
    core->pass();
    return core;
}

void stopGame(Core* core) {
    core->finish();
    delete core;
    SDL_Quit();
}

StartupWork recordStartup() {
    StartupWork work;
    Core* core = new Core();
    core->start();
    std::vector<BlitRecord> records;
    GraphicsSystem* graphics = core->getGraphicsSystem();
    graphics->setBlitRecording(&records);
    core->pass();
    graphics->setBlitRecording(nullptr);

    std::ifstream log("debug.txt");
    std::vector<std::string> names;
    for (std::string line; std::getline(log, line);) {
        if (line.rfind(loadLine, 0) == 0) {
            work.pictures.push_back(line.substr(std::string(loadLine).size()));
            names.push_back(fs::path(work.pictures.back()).filename().string());
        }
    }
    for (const BlitRecord& record : records) {
        std::size_t index = 0;
        // A lookup of a cached name neither loads nor logs.
        while (index < names.size() &&
               graphics->getImage(names[index])->surface != record.surface) {
            ++index;
        }
        if (index == names.size()) {
            fail("the first frame drew a picture the log does not show being loaded");
        }
        const BareBlit bare = toBare({record}).front();
        work.firstFrame.push_back(StartupWork::Draw{index, bare.src, bare.dst});
    }
    stopGame(core);
    if (work.pictures.empty() || work.firstFrame.empty()) {
        fail("the title screen loaded or drew nothing");
    }
    return work;
}

BareStartup startBare(const std::vector<std::string>& pictures,
                      const std::vector<StartupWork::Draw>& firstFrame) {
    BareStartup bare;
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Surface* screen = SDL_SetVideoMode(256, 240, 16, SDL_ANYFORMAT);
    bare.pictures.reserve(pictures.size());
    for (const std::string& path : pictures) {
        SDL_Surface* decoded = SDL_LoadBMP_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
        SDL_SetColorKey(decoded, SDL_SRCCOLORKEY, SDL_MapRGB(decoded->format, 255, 0, 255));
        bare.pictures.push_back(SDL_DisplayFormat(decoded));
        SDL_FreeSurface(decoded);
    }
    if (!firstFrame.empty()) {
        SDL_FillRect(screen, nullptr, 0);
        for (const StartupWork::Draw& draw : firstFrame) {
            SDL_Rect src = draw.src;
            SDL_Rect dst = draw.dst;
            SDL_UpperBlit(bare.pictures[draw.picture], &src, screen, &dst);
        }
    }
    SDL_Flip(screen);
    return bare;
}

void stopBare(BareStartup& bare) {
    for (SDL_Surface* picture : bare.pictures) {
        SDL_FreeSurface(picture);
    }
    bare.pictures.clear();
    SDL_Quit();
}

std::vector<std::string> shippedPictures() {
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator("graphics")) {
        if (entry.path().extension() == ".bmp") {
            paths.push_back("./graphics/" + entry.path().filename().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}
