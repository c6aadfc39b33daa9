#!/usr/bin/env bash
# Builds every benchmark under bench/ (Release, in its own build folder) and runs each one.
# Every program prints its figures next to a baseline measured in the same run, with the ratio.
#
#   tools/bench.sh                 build and run all benchmarks
#   tools/bench.sh analysis picker build and run only these (folder names under bench/)
#
# Environment: BUILD_DIR (default: build-bench), JOBS (default: 2), and
# BENCH_ARGS_<folder> to pass arguments to one program, e.g. BENCH_ARGS_showinfo="100000 10000".
# The full output is also written to $BUILD_DIR/bench-results.txt, followed by a summary of
# every line that carries a ratio.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
jobs=${JOBS:-2}
results=$build/bench-results.txt

# Benchmarks: bench/<folder>/CMakeLists.txt with add_executable(<target> ...).
declare -a folders targets
for list in "$root"/bench/*/CMakeLists.txt; do
    folder=$(basename "$(dirname "$list")")
    if [ $# -gt 0 ] && [[ ! " $* " == *" $folder "* ]]; then
        continue
    fi
    target=$(sed -n 's/^[[:space:]]*add_executable(\([A-Za-z0-9_]*\).*/\1/p' "$list" | head -n 1)
    [ -n "$target" ] || continue
    folders+=("$folder")
    targets+=("$target")
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "bench.sh: no benchmark found${*:+ named $*}" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCONDORA_BUILD_BENCH=ON -DCONDORA_BUILD_TESTS=ON \
    -DCONDORA_SANITIZE=OFF -DCONDORA_BUILD_DESIGNER_PLUGIN=OFF >/dev/null || exit 1

# Build one target at a time, so that one that does not compile does not stop the others.
declare -a built
for i in "${!targets[@]}"; do
    echo "== building ${targets[$i]}"
    if cmake --build "$build" --target "${targets[$i]}" -j "$jobs" >"$build/build-${targets[$i]}.log" 2>&1; then
        built[$i]=1
    else
        built[$i]=0
        echo "   ${targets[$i]} did not build; see $build/build-${targets[$i]}.log" >&2
    fi
done

{
    echo "Condora benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), git $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')"
    echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
         "$(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo) memory;" \
         "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$results"

# Qt asks for a runtime folder of its own; give it one instead of a warning in every program.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d /tmp/condora-bench-runtime.XXXXXX)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

status=0
for i in "${!targets[@]}"; do
    [ "${built[$i]}" = 1 ] || { status=1; continue; }
    folder=${folders[$i]}
    target=${targets[$i]}
    program=$(find "$build/bench/$folder" -maxdepth 2 -type f -name "$target" -perm -u+x | head -n 1)
    args_var="BENCH_ARGS_$folder"
    rm -f "$build/$target.out"
    echo
    echo "== $target ${!args_var:-}" | tee -a "$results"
    # shellcheck disable=SC2086 # the arguments are meant to split
    if ! QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$program" ${!args_var:-} 2>&1 | tee -a "$build/$target.out" \
        | tee -a "$results"; then
        echo "   $target failed" | tee -a "$results" >&2
        status=1
    fi
done

{
    echo
    echo "== summary: every figure with its ratio, under the heading it stands under"
    for i in "${!targets[@]}"; do
        out="$build/${targets[$i]}.out"
        [ -f "$out" ] || continue
        echo "${targets[$i]}:"
        awk '/:[[:space:]]*$/ { heading = $0; shown = 0; next }
             tolower($0) ~ /ratio/ { if (heading != "" && !shown) { print "  " heading; shown = 1 } print "  " $0 }' "$out"
        rm -f "$out"
    done
    echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee -a "$results"
echo "(all output in $results)"
exit $status
