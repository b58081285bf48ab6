// What a pass of the main loop, an event delivery and a start-up cost, each beside a bare
// media-library program doing the same pixel work, and whether a pass allocates.
#include "BenchSupport.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStatePlay.h"
#include "IEventListener.h"
#include "TimerManager.h"

#include "SDL.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <map>
#include <new>

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

constexpr double passTarget = 1.15;
constexpr double startupTarget = 1.5;
constexpr int memoryPasses = 10000;
constexpr int burstSize = 100;

benchmark::Counter perIteration(double value) {
    return benchmark::Counter(value, benchmark::Counter::kAvgIterations);
}

// Pass for pass, the game's loop and the bare replay of its drawing take turns, so that both see
// the same machine: whatever else runs on it slows them alike.
void passCost(benchmark::State& state, Screen screen) {
    Game game;
    game.show(screen);
    const std::vector<BareBlit> blits = game.recordPass();
    SDL_Surface* surface = game.screen();
    Core& core = game.core();
    double gameTime = 0;
    double bareTime = 0;
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
        gameTime += gameOne;
        bareTime += bareOne;
        state.SetIterationTime(gameOne + bareOne);
    }
    // A screen that changed under the measurement (a countdown run out) priced something else.
    if (game.recordPass().size() != blits.size()) {
        state.SkipWithError("the screen changed during the measurement");
        return;
    }
    state.counters["game_us"] = perIteration(gameTime * 1e6);
    state.counters["bare_us"] = perIteration(bareTime * 1e6);
    state.counters["ratio"] = bareTime > 0 ? gameTime / bareTime : 0;
    state.counters["blits"] = static_cast<double>(blits.size());
}

// One tick as Core::pass posts and delivers it, to the listeners of the play screen: the engine,
// the two timers, the tile matrix and the screen itself.
void tickDelivery(benchmark::State& state) {
    Game game;
    game.show(Screen::Play);
    EventManager* events = EventManager::getInstance();
    for (auto _ : state) {
        Event tick(EVENT_TICK);
        tick.data.emplace_back(static_cast<long>(SDL_GetTicks()));
        events->postEvent(tick);
        events->dispatchEvents();
    }
}

// A hundred input events taken from the media library and turned into game events, as a
// hundred passes would take them, then delivered in one go.
void inputBurst(benchmark::State& state, Screen screen) {
    Game game;
    game.show(screen);
    Core& core = game.core();
    EventManager* events = EventManager::getInstance();
    drainInput(core);
    std::vector<SDL_Event> burst = makeBurst(burstSize);
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
    }
    if (pendingInput() != 0) {
        state.SkipWithError("the media library's queue did not take the whole burst");
        return;
    }
    state.counters["inputs"] = burstSize;
}

// From nothing to the first flipped frame of the title screen, against bare programs that load
// pictures and flip. The teardown between start-ups is not timed.
void startup(benchmark::State& state) {
    const StartupWork work = recordStartup();
    const std::vector<std::string> shipped = shippedPictures();
    double gameTime = 0;
    double shippedTime = 0;
    double sameTime = 0;
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
                gameTime += seconds(t0, t1);
                one += seconds(t0, t1);
            } else {
                const bool all = which == 1;
                const auto t0 = Clock::now();
                BareStartup bare =
                    all ? startBare(shipped, {}) : startBare(work.pictures, work.firstFrame);
                const auto t1 = Clock::now();
                stopBare(bare);
                (all ? shippedTime : sameTime) += seconds(t0, t1);
                one += seconds(t0, t1);
            }
        }
        ++turn;
        state.SetIterationTime(one);
    }
    state.counters["game_us"] = perIteration(gameTime * 1e6);
    state.counters["bare_us"] = perIteration(shippedTime * 1e6);
    state.counters["ratio"] = shippedTime > 0 ? gameTime / shippedTime : 0;
    state.counters["pictures"] = static_cast<double>(shipped.size());
    state.counters["same_bare_us"] = perIteration(sameTime * 1e6);
    state.counters["same_ratio"] = sameTime > 0 ? gameTime / sameTime : 0;
    state.counters["same_pictures"] = static_cast<double>(work.pictures.size());
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
    PlaySession session;
    // One whole round of the input first: the allocator keeps freed blocks of each size in use
    // for reuse, so its figure settles only once every size has been through it.
    for (std::size_t i = 0; i < 10 * session.input.size(); ++i) {
        session.pass();
    }
    session.passes = 0;
    session.total = session.most = session.unexplained = 0;
    std::string failure;
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
        // Taken before the counters are filled in, which allocates.
        const long long heapGrowth =
            static_cast<long long>(mallinfo2().uordblks) - static_cast<long long>(heapBefore);
        const long long newGrowth = liveBytes - liveBefore;
        const long long blockGrowth =
            static_cast<long long>(allocations - frees) - static_cast<long long>(blocksBefore);
        state.counters["passes"] = static_cast<double>(session.passes);
        state.counters["countdown_fires"] = secondsAtStart - session.secondsLeft();
        state.counters["heap_growth_bytes"] = static_cast<double>(heapGrowth);
        state.counters["new_growth_bytes"] = static_cast<double>(newGrowth);
        state.counters["new_growth_blocks"] = static_cast<double>(blockGrowth);
        state.counters["allocs_per_pass"] =
            static_cast<double>(session.total) / static_cast<double>(session.passes);
        state.counters["most_in_a_pass"] = static_cast<double>(session.most);
        state.counters["not_event_copies"] = static_cast<double>(session.unexplained);
        // The counters are not shown for a run in error: the message carries the figures.
        if (heapGrowth > 0 || newGrowth > 0 || blockGrowth > 0) {
            failure = "the heap grew by " + std::to_string(heapGrowth) + " bytes (" +
                      std::to_string(blockGrowth) + " blocks, " + std::to_string(newGrowth) +
                      " bytes through new)";
        } else if (session.unexplained > 0) {
            failure = std::to_string(session.unexplained) + " allocations beyond the event copies";
        }
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
        }
    }
}

// The console table as usual, then the figures side by side with their targets: the medians
// when the runs were repeated, else the one run.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                errors[name] = run.error_message;
            } else if (median || (run.run_type == Run::RT_Iteration && !medians.count(name))) {
                results[name] = run;
                if (median) {
                    medians[name] = true;
                }
                repetitions = std::max<long long>(repetitions, run.repetitions);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::FILE* out = stdout;
        std::fprintf(out, "\nSummary (%s):\n",
                     repetitions > 1
                         ? ("medians of " + std::to_string(repetitions) + " runs").c_str()
                         : "one run");
        std::fprintf(out, "  %-11s %12s %12s %7s  %s\n", "screen", "game pass", "bare pass",
                     "ratio", "target 1.15");
        for (Screen screen : allScreens()) {
            const Run* run = find(std::string("pass/") + screenName(screen));
            if (run == nullptr) {
                continue;
            }
            const double ratio = counter(*run, "ratio");
            std::fprintf(out, "  %-11s %9.2f us %9.2f us %7.3f  %s\n", screenName(screen),
                         counter(*run, "game_us"), counter(*run, "bare_us"), ratio,
                         ratio <= passTarget ? "met" : "MISSED");
        }
        if (const Run* run = find("deliver/tick/play")) {
            std::fprintf(out, "  one tick to the play screen's listeners: %.0f ns\n",
                         nanoseconds(*run));
        }
        for (Screen screen : {Screen::Play, Screen::Title}) {
            const std::string name = std::string("deliver/input100/") + screenName(screen);
            if (const Run* run = find(name)) {
                std::fprintf(out,
                             "  a burst of %d input events, %s screen: %.2f us (%.0f ns each)\n",
                             burstSize, screenName(screen), nanoseconds(*run) / 1000,
                             nanoseconds(*run) / burstSize);
            }
        }
        if (const Run* run = find("startup")) {
            const double ratio = counter(*run, "ratio");
            std::fprintf(out,
                         "  start-up: game %.0f us, bare with the %.0f shipped pictures %.0f us,"
                         " ratio %.3f (target 1.5: %s)\n",
                         counter(*run, "game_us"), counter(*run, "pictures"),
                         counter(*run, "bare_us"), ratio,
                         ratio <= startupTarget ? "met" : "MISSED");
            std::fprintf(out,
                         "            bare with the %.0f pictures the title screen loads, and its"
                         " first frame: %.0f us, ratio %.3f\n",
                         counter(*run, "same_pictures"), counter(*run, "same_bare_us"),
                         counter(*run, "same_ratio"));
        }
        if (const Run* run = find("memory/play")) {
            std::fprintf(out,
                         "  memory, %.0f passes on the play screen (%.0f countdown fires): heap"
                         " growth %.0f bytes, %.0f through new; %.2f allocations a pass (at most"
                         " %.0f), %.0f beyond the event copies\n",
                         counter(*run, "passes"), counter(*run, "countdown_fires"),
                         counter(*run, "heap_growth_bytes"), counter(*run, "new_growth_bytes"),
                         counter(*run, "allocs_per_pass"), counter(*run, "most_in_a_pass"),
                         counter(*run, "not_event_copies"));
        }
        for (const auto& [name, message] : errors) {
            std::fprintf(out, "  %s: FAILED: %s\n", name.c_str(), message.c_str());
        }
    }

private:
    const Run* find(const std::string& name) const {
        const auto found = results.find(name);
        return found == results.end() ? nullptr : &found->second;
    }
    static double nanoseconds(const Run& run) {
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    }
    static double counter(const Run& run, const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0 : found->second.value;
    }

    std::map<std::string, Run> results;
    std::map<std::string, bool> medians;
    std::map<std::string, std::string> errors;
    long long repetitions = 1;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Sandbox sandbox;
    for (Screen screen : allScreens()) {
        benchmark::RegisterBenchmark((std::string("pass/") + screenName(screen)).c_str(), passCost,
                                     screen)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("deliver/tick/play", tickDelivery)->UseRealTime();
    for (Screen screen : {Screen::Play, Screen::Title}) {
        benchmark::RegisterBenchmark(
            (std::string("deliver/input100/") + screenName(screen)).c_str(), inputBurst, screen)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("startup", startup)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    // One long run: its point is the count, not the time.
    benchmark::RegisterBenchmark("memory/play", memory)
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
