// What a pass of the main loop, an event delivery and a start-up cost, each beside a bare
// media-library program doing the same pixel work, and whether a pass allocates.
#include "BenchSupport.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStatePlay.h"
#include "IEventListener.h"
#include "ScreenWindow.h"
#include "TimerManager.h"

#include "SDL.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <new>
#include <string>
#include <vector>

// Every allocation of the program goes through here, so that a pass can be seen to allocate.
// One thread: plain counters will do.
namespace {

std::size_t allocations = 0;
std::size_t frees = 0;
long long liveBytes = 0;

} // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    ++allocations;
    liveBytes += static_cast<long long>(malloc_usable_size(block));
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        ++allocations;
        liveBytes += static_cast<long long>(malloc_usable_size(block));
    }
    return block;
}

void operator delete(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    ++frees;
    liveBytes -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    operator delete(block);
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void operator delete[](void* block) noexcept {
    operator delete(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    operator delete(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    operator delete(block);
}

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Timings of one kind within a run, summed up by their median rather than their mean: a pass
// that the system interrupted (another process ran, a page was faulted in) takes milliseconds,
// not microseconds, and would move a mean by more than the difference being measured.
class Samples {
public:
    explicit Samples(benchmark::IterationCount expected) {
        values.reserve(static_cast<std::size_t>(expected)); // no allocation while timing
    }
    void add(double seconds) { values.push_back(seconds); }
    double median() {
        if (values.empty()) {
            return 0;
        }
        const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    }

private:
    std::vector<double> values;
};

constexpr double passTarget = 1.15;
constexpr double startupTarget = 1.5;
constexpr double idleTarget = 0.9;
constexpr int memoryPasses = 10000;
constexpr int burstSize = 100;

// Each benchmark runs a fixed number of iterations, so that every run is one repetition: the
// figures each run hands in here (its medians) are summed up at the end, medians across the
// repetitions.
class Summary {
public:
    using Figures = std::map<std::string, double>;

    void add(const std::string& name, const Figures& figures) { runs[name].push_back(figures); }
    void fail(const std::string& name, const std::string& why) { failures[name] = why; }

    // After the library's own table, when the program ends.
    ~Summary() {
        if (runs.empty() && failures.empty()) {
            return;
        }
        std::size_t most = 0;
        for (const auto& entry : runs) {
            most = std::max(most, entry.second.size());
        }
        std::printf("\nSummary (%s):\n",
                    most > 1 ? ("medians of " + std::to_string(most) + " runs").c_str()
                             : "one run");
        bool header = false;
        for (Screen screen : allScreens()) {
            const std::string name = std::string("pass/") + screenName(screen);
            if (runs.count(name) != 0) {
                if (!header) {
                    std::printf("  %-11s %12s %12s %7s  %s\n", "screen", "game pass", "bare pass",
                                "ratio", "target 1.15");
                    header = true;
                }
                const double ratio = median(name, "ratio");
                std::printf("  %-11s %9.2f us %9.2f us %7.3f  %s\n", screenName(screen),
                            median(name, "game_us"), median(name, "bare_us"), ratio,
                            ratio <= passTarget ? "met" : "MISSED");
            }
        }
        for (Screen screen : {Screen::Title, Screen::Play}) {
            const std::string name = std::string("scaled/") + screenName(screen);
            if (runs.count(name) != 0) {
                const double ratio = median(name, "ratio");
                std::printf("  at 3 x, %-6s %9.2f us %9.2f us %7.3f  %s (every pass shown)\n",
                            screenName(screen), median(name, "game_us"), median(name, "bare_us"),
                            ratio, ratio <= passTarget ? "met" : "MISSED");
            }
        }
        if (runs.count("idle/title") != 0) {
            const double ratio = median("idle/title", "ratio");
            std::printf("  idle title: %.0f passes a second at 1 x, %.0f at 6 x, ratio %.3f"
                        " (target 0.9: %s)\n",
                        median("idle/title", "passes_per_s_1x"),
                        median("idle/title", "passes_per_s_6x"), ratio,
                        ratio >= idleTarget ? "met" : "MISSED");
        }
        if (runs.count("deliver/tick/play") != 0) {
            std::printf("  one tick to the play screen's listeners: %.0f ns\n",
                        median("deliver/tick/play", "ns"));
        }
        for (Screen screen : {Screen::Play, Screen::Title}) {
            const std::string name = std::string("deliver/input100/") + screenName(screen);
            if (runs.count(name) != 0) {
                std::printf("  a burst of %d input events, %s screen: %.2f us (%.0f ns each)\n",
                            burstSize, screenName(screen), median(name, "us"),
                            median(name, "us") * 1000 / burstSize);
            }
        }
        if (runs.count("startup") != 0) {
            const double ratio = median("startup", "ratio");
            std::printf("  start-up: game %.0f us, bare with the %.0f shipped pictures %.0f us,"
                        " ratio %.3f (target 1.5: %s)\n",
                        median("startup", "game_us"), median("startup", "pictures"),
                        median("startup", "bare_us"), ratio,
                        ratio <= startupTarget ? "met" : "MISSED");
            std::printf("            bare with the %.0f pictures the title screen loads, and its"
                        " first frame: %.0f us, ratio %.3f\n",
                        median("startup", "same_pictures"), median("startup", "same_bare_us"),
                        median("startup", "same_ratio"));
        }
        if (runs.count("memory/play") != 0) {
            const std::string name = "memory/play";
            std::printf("  memory, %.0f passes on the play screen (%.0f countdown fires): heap"
                        " growth %.0f bytes, %.0f through new; %.2f allocations a pass (at most"
                        " %.0f), %.0f beyond the event copies\n",
                        median(name, "passes"), median(name, "countdown_fires"),
                        median(name, "heap_growth_bytes"), median(name, "new_growth_bytes"),
                        median(name, "allocs_per_pass"), median(name, "most_in_a_pass"),
                        median(name, "not_event_copies"));
        }
        for (const auto& [name, why] : failures) {
            std::printf("  %s: FAILED: %s\n", name.c_str(), why.c_str());
        }
        std::fflush(stdout);
    }

private:
    double median(const std::string& name, const std::string& figure) const {
        std::vector<double> values;
        for (const Figures& run : runs.at(name)) {
            const auto found = run.find(figure);
            if (found != run.end()) {
                values.push_back(found->second);
            }
        }
        if (values.empty()) {
            return 0;
        }
        std::sort(values.begin(), values.end());
        const std::size_t middle = values.size() / 2;
        return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

    std::map<std::string, std::vector<Figures>> runs;
    std::map<std::string, std::string> failures;
};

Summary& summary() {
    static Summary instance;
    return instance;
}

// Made on first use, after the library has read its options, and removed at exit.
void enterSandbox() {
    static Sandbox sandbox;
}

// Hands the figures to the library's table and to the summary alike.
void report(benchmark::State& state, const std::string& name, const Summary::Figures& figures) {
    for (const auto& [key, value] : figures) {
        state.counters[key] = value;
    }
    summary().add(name, figures);
}

void reportFailure(benchmark::State& state, const std::string& name, const std::string& why) {
    summary().fail(name, why);
    state.SkipWithError(why.c_str());
}

// Pass for pass, the game's loop and the bare replay of its drawing take turns, so that both see
// the same machine: whatever else runs on it slows them alike.
void passCost(benchmark::State& state, Screen screen) {
    enterSandbox();
    const std::string name = std::string("pass/") + screenName(screen);
    Game game;
    game.show(screen);
    const std::vector<BareBlit> blits = game.recordPass();
    SDL_Surface* surface = game.screen();
    Core& core = game.core();
    Samples gameTimes(state.max_iterations);
    Samples bareTimes(state.max_iterations);
    bool gameFirst = true;
    for (auto _ : state) {
        double gameOne = 0;
        double bareOne = 0;
        // Neither always finds the caches as the other left them.
        if (gameFirst) {
            const auto t0 = Clock::now();
            core.pass();
            const auto t1 = Clock::now();
            barePass(surface, blits);
            const auto t2 = Clock::now();
            gameOne = seconds(t0, t1);
            bareOne = seconds(t1, t2);
        } else {
            const auto t0 = Clock::now();
            barePass(surface, blits);
            const auto t1 = Clock::now();
            core.pass();
            const auto t2 = Clock::now();
            bareOne = seconds(t0, t1);
            gameOne = seconds(t1, t2);
        }
        gameFirst = !gameFirst;
        gameTimes.add(gameOne);
        bareTimes.add(bareOne);
        state.SetIterationTime(gameOne + bareOne);
    }
    // A screen that changed under the measurement (a countdown run out) priced something else.
    if (game.recordPass().size() != blits.size()) {
        reportFailure(state, name, "the screen changed during the measurement");
        return;
    }
    const double gamePass = gameTimes.median();
    const double barePassTime = bareTimes.median();
    report(state, name,
           {{"game_us", gamePass * 1e6},
            {"bare_us", barePassTime * 1e6},
            {"ratio", gamePass / barePassTime},
            {"blits", static_cast<double>(blits.size())}});
}

// The same at 3 x, where every pass's picture is shown: the window is told it was uncovered
// before each game pass, so that it shows an unchanged picture too, and the bare program
// enlarges its own picture into the same window by the same method.
constexpr int scaledPassScale = 3;

void scaledPassCost(benchmark::State& state, Screen screen) {
    enterSandbox();
    const std::string name = std::string("scaled/") + screenName(screen);
    Game game;
    game.show(screen);
    const std::vector<BareBlit> blits = game.recordPass();
    windowResized(256 * scaledPassScale, 240 * scaledPassScale);
    SDL_Surface* window = game.screen();
    const SDL_PixelFormat* format = window->format;
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 240, format->BitsPerPixel,
                                                format->Rmask, format->Gmask, format->Bmask, 0);
    Core& core = game.core();
    Samples gameTimes(state.max_iterations);
    Samples bareTimes(state.max_iterations);
    bool gameFirst = true;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (gameFirst) {
            windowExposed();
            core.pass();
        } else {
            bareScaledPass(picture, window, scaledPassScale, blits);
        }
        const auto t1 = Clock::now();
        if (gameFirst) {
            bareScaledPass(picture, window, scaledPassScale, blits);
        } else {
            windowExposed();
            core.pass();
        }
        const auto t2 = Clock::now();
        (gameFirst ? gameTimes : bareTimes).add(seconds(t0, t1));
        (gameFirst ? bareTimes : gameTimes).add(seconds(t1, t2));
        gameFirst = !gameFirst;
        state.SetIterationTime(seconds(t0, t2));
    }
    SDL_FreeSurface(picture);
    const double gamePass = gameTimes.median();
    const double barePassTime = bareTimes.median();
    report(state, name,
           {{"game_us", gamePass * 1e6},
            {"bare_us", barePassTime * 1e6},
            {"ratio", gamePass / barePassTime}});
}

// Passes a second on the idle title screen, the window at 1 x and at 6 x in turns: an unchanged
// picture is not shown again, so the scale should cost next to nothing.
void idleTitle(benchmark::State& state) {
    enterSandbox();
    Game game;
    game.show(Screen::Title);
    Core& core = game.core();
    Samples times[2] = {Samples(state.max_iterations), Samples(state.max_iterations)};
    const int scales[2] = {1, 6};
    constexpr int passes = 100;
    int turn = 0;
    for (auto _ : state) {
        windowResized(256 * scales[turn], 240 * scales[turn]);
        core.pass(); // the resized window shows the picture once
        const auto t0 = Clock::now();
        for (int pass = 0; pass < passes; ++pass) {
            core.pass();
        }
        const auto t1 = Clock::now();
        times[turn].add(seconds(t0, t1) / passes);
        state.SetIterationTime(seconds(t0, t1));
        turn = 1 - turn;
    }
    const double at1 = 1 / times[0].median();
    const double at6 = 1 / times[1].median();
    report(state, "idle/title",
           {{"passes_per_s_1x", at1}, {"passes_per_s_6x", at6}, {"ratio", at6 / at1}});
}

// One tick as Core::pass posts and delivers it, to the listeners of the play screen: the engine,
// the two timers, the tile matrix and the screen itself.
void tickDelivery(benchmark::State& state) {
    enterSandbox();
    Game game;
    game.show(Screen::Play);
    EventManager* events = EventManager::getInstance();
    // Timed a hundred at a time: a tick takes little longer than reading the clock.
    constexpr int block = 100;
    Samples times(state.max_iterations / block + 1);
    int inBlock = 0;
    auto blockStart = Clock::now();
    for (auto _ : state) {
        Event tick(EVENT_TICK);
        tick.data.emplace_back(static_cast<long>(SDL_GetTicks()));
        events->postEvent(tick);
        events->dispatchEvents();
        if (++inBlock == block) {
            const auto now = Clock::now();
            times.add(seconds(blockStart, now) / block);
            blockStart = now;
            inBlock = 0;
        }
    }
    report(state, "deliver/tick/play", {{"ns", times.median() * 1e9}});
}

// A hundred input events taken from the media library and turned into game events, as a
// hundred passes would take them, then delivered in one go.
void inputBurst(benchmark::State& state, Screen screen) {
    enterSandbox();
    const std::string name = std::string("deliver/input100/") + screenName(screen);
    Game game;
    game.show(screen);
    Core& core = game.core();
    EventManager* events = EventManager::getInstance();
    drainInput(core);
    std::vector<SDL_Event> burst = makeBurst(burstSize);
    Samples times(state.max_iterations);
    for (auto _ : state) {
        for (SDL_Event& input : burst) {
            SDL_PushEvent(&input);
        }
        const auto t0 = Clock::now();
        for (int i = 0; i < burstSize; ++i) {
            core.messagePump();
        }
        events->dispatchEvents();
        const auto t1 = Clock::now();
        state.SetIterationTime(seconds(t0, t1));
        times.add(seconds(t0, t1));
    }
    if (pendingInput() != 0) {
        reportFailure(state, name, "the media library's queue did not take the whole burst");
        return;
    }
    report(state, name, {{"us", times.median() * 1e6}});
}

// From nothing to the first flipped frame of the title screen, against bare programs that load
// pictures and flip. The teardown between start-ups is not timed.
void startup(benchmark::State& state) {
    enterSandbox();
    const StartupWork work = recordStartup();
    const std::vector<std::string> shipped = shippedPictures();
    Samples gameTimes(state.max_iterations);
    Samples shippedTimes(state.max_iterations);
    Samples sameTimes(state.max_iterations);
    int turn = 0;
    for (auto _ : state) {
        double one = 0;
        for (int k = 0; k < 3; ++k) {
            const int which = (turn + k) % 3;
            if (which == 0) {
                const auto t0 = Clock::now();
                Core* core = startGame();
                const auto t1 = Clock::now();
                stopGame(core);
                gameTimes.add(seconds(t0, t1));
                one += seconds(t0, t1);
            } else {
                const bool all = which == 1;
                const auto t0 = Clock::now();
                BareStartup bare =
                    all ? startBare(shipped, {}) : startBare(work.pictures, work.firstFrame);
                const auto t1 = Clock::now();
                stopBare(bare);
                (all ? shippedTimes : sameTimes).add(seconds(t0, t1));
                one += seconds(t0, t1);
            }
        }
        ++turn;
        state.SetIterationTime(one);
    }
    const double gameStart = gameTimes.median();
    const double shippedStart = shippedTimes.median();
    const double sameStart = sameTimes.median();
    report(state, "startup",
           {{"game_us", gameStart * 1e6},
            {"bare_us", shippedStart * 1e6},
            {"ratio", gameStart / shippedStart},
            {"pictures", static_cast<double>(shipped.size())},
            {"same_bare_us", sameStart * 1e6},
            {"same_ratio", gameStart / sameStart},
            {"same_pictures", static_cast<double>(work.pictures.size())}});
}

// Counts, for the pass under way, the allocations the event copies need: the poster's payload,
// and the queue's copy (a list node and a payload) and the delivery's copy (a payload).
class CopyCounter final : public IEventListener {
public:
    void onEvent(Event& event) override { needed += event.data.empty() ? 1 : 4; }
    std::size_t needed = 0;
};

// Passes on the play screen, every tenth taking one input event as when the player moves the
// pointer or toggles the solution view; each pass's allocations are checked against its events.
class PlaySession {
public:
    PlaySession() : input(makeBurst(burstSize)) {
        game.show(Screen::Play);
        drainInput(game.core());
        EventManager::getInstance()->registerListener(&copies);
    }
    ~PlaySession() { EventManager::getInstance()->removeListener(&copies); }

    void pass() {
        ++passes;
        if (passes % 10 == 0) {
            SDL_PushEvent(&input[passes / 10 % input.size()]);
        }
        copies.needed = 0;
        const std::size_t before = allocations;
        game.core().pass();
        const std::size_t made = allocations - before;
        total += made;
        most = std::max(most, made);
        if (made > copies.needed) {
            unexplained += made - copies.needed;
        }
    }
    int secondsLeft() {
        return game.core().getTimerManager()->getNumFires(GameStatePlay::TIMER_COUNTDOWN);
    }

    Game game;
    std::vector<SDL_Event> input;
    CopyCounter copies;
    long long passes = 0;
    std::size_t total = 0;
    std::size_t most = 0;
    std::size_t unexplained = 0;
};

void memory(benchmark::State& state) {
    enterSandbox();
    const std::string name = "memory/play";
    PlaySession session;
    // One whole round of the input first: the allocator keeps freed blocks of each size in use
    // for reuse, so its figure settles only once every size has been through it.
    for (std::size_t i = 0; i < 10 * session.input.size(); ++i) {
        session.pass();
    }
    session.passes = 0;
    session.total = session.most = session.unexplained = 0;
    for (auto _ : state) {
        const std::size_t heapBefore = mallinfo2().uordblks;
        const long long liveBefore = liveBytes;
        const std::size_t blocksBefore = allocations - frees;
        // At least the ten thousand, and long enough for the countdown to fire: a pass that
        // delivers a timer event copies more than one that delivers only its tick.
        const int secondsAtStart = session.secondsLeft();
        while (session.passes < memoryPasses || (secondsAtStart - session.secondsLeft() < 2 &&
                                                 session.passes < 100 * memoryPasses)) {
            session.pass();
        }
        // Taken before any figure is stored, which allocates.
        const long long heapGrowth =
            static_cast<long long>(mallinfo2().uordblks) - static_cast<long long>(heapBefore);
        const long long newGrowth = liveBytes - liveBefore;
        const long long blockGrowth =
            static_cast<long long>(allocations - frees) - static_cast<long long>(blocksBefore);
        report(state, name,
               {{"passes", static_cast<double>(session.passes)},
                {"countdown_fires", secondsAtStart - session.secondsLeft()},
                {"heap_growth_bytes", static_cast<double>(heapGrowth)},
                {"new_growth_bytes", static_cast<double>(newGrowth)},
                {"new_growth_blocks", static_cast<double>(blockGrowth)},
                {"allocs_per_pass",
                 static_cast<double>(session.total) / static_cast<double>(session.passes)},
                {"most_in_a_pass", static_cast<double>(session.most)},
                {"not_event_copies", static_cast<double>(session.unexplained)}});
        if (heapGrowth > 0 || newGrowth > 0 || blockGrowth > 0) {
            reportFailure(state, name,
                          "the heap grew by " + std::to_string(heapGrowth) + " bytes (" +
                              std::to_string(blockGrowth) + " blocks, " +
                              std::to_string(newGrowth) + " bytes through new)");
        } else if (session.unexplained > 0) {
            reportFailure(state, name,
                          std::to_string(session.unexplained) +
                              " allocations beyond the event copies");
        }
    }
}

// Iteration counts for about a tenth of a second each on the machine of the published figures.
const bool registered = [] {
    for (Screen screen : allScreens()) {
        benchmark::RegisterBenchmark((std::string("pass/") + screenName(screen)).c_str(), passCost,
                                     screen)
            ->Iterations(2000)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    }
    for (Screen screen : {Screen::Title, Screen::Play}) {
        benchmark::RegisterBenchmark((std::string("scaled/") + screenName(screen)).c_str(),
                                     scaledPassCost, screen)
            ->Iterations(1000)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("idle/title", idleTitle)
        ->Iterations(200)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("deliver/tick/play", tickDelivery)
        ->Iterations(200000)
        ->UseRealTime();
    for (Screen screen : {Screen::Play, Screen::Title}) {
        benchmark::RegisterBenchmark(
            (std::string("deliver/input100/") + screenName(screen)).c_str(), inputBurst, screen)
            ->Iterations(1000)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("startup", startup)
        ->Iterations(60)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    // One long run: its point is the count, not the time.
    benchmark::RegisterBenchmark("memory/play", memory)
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    // The summary is printed by its destructor, at exit: made first, it outlives everything
    // the benchmarks make.
    summary();
    return true;
}();

} // namespace

BENCHMARK_MAIN();
