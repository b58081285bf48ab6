// A fixed amount of the benchmarks' work, for callgrind: instruction counts do not care what
// else the machine is doing. Each kind of work runs inside a function of its own, so that
// --toggle-collect=<function>* counts it and nothing of the setting up.
//
//   zandorel_profile <title|tutorial|play|gameover|highscores> <passes>
//       runGamePasses: that many passes of the main loop; runBarePasses: as many bare passes
//   zandorel_profile tick <count>       runTicks: ticks delivered on the play screen
//   zandorel_profile input-play <count>, input-title <count>
//                                       deliverBurst: bursts of a hundred input events taken
//                                       and delivered on that screen
//   zandorel_profile startup <count>    runGameStartups, runBareStartups (the shipped pictures),
//                                       runSameStartups (the title screen's pictures and frame)
#include "BenchSupport.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#define PROFILED extern "C" __attribute__((noinline))

PROFILED void runGamePasses(Core* core, int count) {
    for (int i = 0; i < count; ++i) {
        core->pass();
    }
}

PROFILED void runBarePasses(SDL_Surface* screen, const std::vector<BareBlit>* blits, int count) {
    for (int i = 0; i < count; ++i) {
        barePass(screen, *blits);
    }
}

PROFILED void runTicks(int count) {
    EventManager* events = EventManager::getInstance();
    for (int i = 0; i < count; ++i) {
        Event tick(EVENT_TICK);
        tick.data.emplace_back(static_cast<long>(SDL_GetTicks()));
        events->postEvent(tick);
        events->dispatchEvents();
    }
}

PROFILED void deliverBurst(Core* core, int size) {
    for (int i = 0; i < size; ++i) {
        core->messagePump();
    }
    EventManager::getInstance()->dispatchEvents();
}

PROFILED void runGameStartups(int count) {
    for (int i = 0; i < count; ++i) {
        stopGame(startGame());
    }
}

PROFILED void runBareStartups(const std::vector<std::string>* pictures, int count) {
    for (int i = 0; i < count; ++i) {
        BareStartup bare = startBare(*pictures, {});
        stopBare(bare);
    }
}

PROFILED void runSameStartups(const StartupWork* work, int count) {
    for (int i = 0; i < count; ++i) {
        BareStartup bare = startBare(work->pictures, work->firstFrame);
        stopBare(bare);
    }
}

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) <= 0) {
        std::cerr << "usage: zandorel_profile <screen|tick|startup> <count>\n";
        return 1;
    }
    const std::string what = argv[1];
    const int count = std::atoi(argv[2]);
    static Sandbox sandbox; // static: removed at exit, also when a setup check fails
    if (what == "startup") {
        const StartupWork work = recordStartup();
        const std::vector<std::string> shipped = shippedPictures();
        runGameStartups(count);
        runBareStartups(&shipped, count);
        runSameStartups(&work, count);
        return 0;
    }
    Game game;
    if (what == "tick") {
        game.show(Screen::Play);
        runTicks(count);
        return 0;
    }
    for (Screen screen : {Screen::Play, Screen::Title}) {
        if (what == std::string("input-") + screenName(screen)) {
            game.show(screen);
            drainInput(game.core());
            std::vector<SDL_Event> burst = makeBurst(100);
            for (int i = 0; i < count; ++i) {
                for (SDL_Event& input : burst) {
                    SDL_PushEvent(&input);
                }
                deliverBurst(&game.core(), static_cast<int>(burst.size()));
            }
            return 0;
        }
    }
    for (Screen screen : allScreens()) {
        if (what == screenName(screen)) {
            game.show(screen);
            const std::vector<BareBlit> blits = game.recordPass();
            runGamePasses(&game.core(), count);
            runBarePasses(game.screen(), &blits, count);
            std::cout << what << ": " << blits.size() << " copies a frame\n";
            return 0;
        }
    }
    std::cerr << "zandorel_profile: unknown work " << what << '\n';
    return 1;
}
