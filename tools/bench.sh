#!/usr/bin/env bash
# Benchmarks: a Release build with the benchmark program in build-bench (CMakePresets.json's
# bench tree), run headless from that folder (it holds the generated graphics/ and data/).
#
#   tools/bench.sh [benchmark options]   timings, each game figure beside its bare
#                                        media-library twin; nine repetitions, medians
#   tools/bench.sh callgrind [work ...]  instruction counts under callgrind, which the
#                                        machine's load does not disturb; work is any of
#                                        title tutorial play gameover highscores tick
#                                        input-play input-title startup (all by default)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
bash tools/setup.sh bench
folder=build-bench

cmake --preset bench >/dev/null
cmake --build --preset bench --target zandorel_benchmarks zandorel_profile zandorel_data >/dev/null
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
cd "$folder"

if [ "${1:-}" != callgrind ]; then
    exec ./bench/zandorel_benchmarks --benchmark_repetitions=9 \
        --benchmark_report_aggregates_only=true "$@"
fi

shift
works=("$@")
if [ ${#works[@]} -eq 0 ]; then
    works=(title tutorial play gameover highscores tick input-play input-title startup)
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Instructions counted inside one function, summed over its calls.
instructions() {
    local function=$1 work=$2 count=$3
    valgrind --tool=callgrind --callgrind-out-file="$scratch/out" --toggle-collect="$function" \
        ./bench/zandorel_profile "$work" "$count" >/dev/null 2>&1
    awk '/^(summary|totals):/ { print $2; exit }' "$scratch/out"
}

per() { awk -v total="$1" -v count="$2" 'BEGIN { printf "%.0f", total / count }'; }

printf '%-12s %16s %16s %8s\n' work game bare ratio
for work in "${works[@]}"; do
    case $work in
    tick)
        printf '%-12s %16s\n' tick "$(per "$(instructions runTicks tick 2000)" 2000)"
        ;;
    input-play | input-title)
        printf '%-12s %16s   (a burst of 100)\n' "$work" \
            "$(per "$(instructions deliverBurst "$work" 200)" 200)"
        ;;
    startup)
        game=$(per "$(instructions runGameStartups startup 20)" 20)
        bare=$(per "$(instructions runBareStartups startup 20)" 20)
        same=$(per "$(instructions runSameStartups startup 20)" 20)
        printf '%-12s %16s %16s %8s\n' startup "$game" "$bare" \
            "$(awk -v g="$game" -v b="$bare" 'BEGIN { printf "%.3f", g / b }')"
        printf '%-12s %16s %16s %8s   (bare: the title screen'"'"'s pictures and frame)\n' \
            startup-same "$game" "$same" \
            "$(awk -v g="$game" -v b="$same" 'BEGIN { printf "%.3f", g / b }')"
        ;;
    *)
        game=$(per "$(instructions runGamePasses "$work" 1000)" 1000)
        bare=$(per "$(instructions runBarePasses "$work" 1000)" 1000)
        printf '%-12s %16s %16s %8s\n' "$work" "$game" "$bare" \
            "$(awk -v g="$game" -v b="$bare" 'BEGIN { printf "%.3f", g / b }')"
        ;;
    esac
done
