#!/usr/bin/env bash
# Builds every libFuzzer target under fuzz/ with clang in build-fuzz (optimised, with ASan and UBSan
# and the standard library's assertions), writes each target's seed corpus and runs the targets one
# after another, then prints a table of the executions, executions a second and findings (crash,
# leak, timeout and out-of-memory files) per target.
#
#   fuzz/run-all.sh [seconds-per-target]     (default 60)
#
# A target is a folder fuzz/<name>/ with a CMakeLists.txt; its fuzzer is the executable named
# *fuzzer or fuzz_*, its seeds come from make_seeds.py OUTDIR or from an executable of the folder
# named *corpus* (run as PROGRAM OUTDIR), and a *.dict file in the folder is used as dictionary.
# A run that stops on a finding is started again on the grown corpus until the time is used up, so
# every target gets its full time; the findings stay in build-fuzz/fuzz/<name>/findings/.
# Exits 1 when anything was found.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
seconds="${1:-60}"
build="${TARVISK_FUZZ_BUILD_DIR:-$root/build-fuzz}"
maxRestarts=20

if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang' "$build/CMakeCache.txt"; then
    echo "run-all.sh: $build was configured without clang; remove it first" >&2
    exit 2
fi
mkdir -p "$build"
# -O2: unoptimised, the sanitizers' and the coverage's checks cost several times more for each step,
# and the targets ran four to seventeen times slower. NDEBUG stays off, so assertions still hold.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" -DTARVISK_BUILD_FUZZ=ON \
    -DTARVISK_SANITIZE=ON -DTARVISK_BUILD_TESTS=OFF -DTARVISK_BUILD_BENCH=OFF >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log" >&2; exit 2; }

# name fuzzer seeder(or -) dict(or -)
targets=()
for dir in "$here"/*/; do
    name="$(basename "$dir")"
    [ -f "$dir/CMakeLists.txt" ] || continue
    exes=$(sed -n 's/^[[:space:]]*add_executable([[:space:]]*\([A-Za-z0-9_]*\).*/\1/p' "$dir/CMakeLists.txt")
    fuzzer=$(printf '%s\n' "$exes" | grep -E '(fuzzer$|^fuzz_)' | grep -v corpus | head -n 1 || true)
    [ -n "$fuzzer" ] || continue
    seeder=-
    if [ -f "$dir/make_seeds.py" ]; then
        seeder="py:$dir/make_seeds.py"
    else
        gen=$(printf '%s\n' "$exes" | grep corpus | head -n 1 || true)
        [ -n "$gen" ] && seeder="exe:$gen"
    fi
    dict=$(find "$dir" -maxdepth 1 -name "*.dict" | sort | head -n 1)
    targets+=("$name $fuzzer $seeder ${dict:--}")
done

declare -A executions findings spent
anyFindings=0
for t in "${targets[@]}"; do
    read -r name fuzzer seeder dict <<<"$t"
    out="$build/fuzz/$name"
    # A target that does not build (another area may be half way through a change) is reported,
    # and the others still run.
    wanted=("$fuzzer")
    [[ "$seeder" == exe:* ]] && wanted+=("${seeder#exe:}")
    if ! ninja -C "$build" "${wanted[@]}" >"$build/$name.build.log" 2>&1; then
        echo "== $name: does not build, see $build/$name.build.log" >&2
        executions[$name]="-"
        findings[$name]="no build"
        anyFindings=1
        continue
    fi
    corpus="$out/corpus"
    mkdir -p "$corpus" "$out/findings"
    # What earlier runs found is kept aside, so that the table counts this run only.
    if [ -n "$(find "$out/findings" -maxdepth 1 -type f -print -quit)" ]; then
        earlier="$out/findings/earlier-$(date +%Y%m%d-%H%M%S)"
        mkdir -p "$earlier"
        find "$out/findings" -maxdepth 1 -type f -exec mv {} "$earlier/" \;
    fi
    case "$seeder" in
    py:*) python3 "${seeder#py:}" "$corpus" ;;
    exe:*) ASAN_OPTIONS=detect_leaks=0 "$out/${seeder#exe:}" "$corpus" >/dev/null ;;
    esac
    extra=()
    [ "$dict" != - ] && extra+=("-dict=$dict")
    total=0
    start=$SECONDS
    end=$((SECONDS + seconds))
    runs=0
    : >"$out/fuzz.log"
    while [ $((end - SECONDS)) -gt 0 ] && [ "$runs" -le "$maxRestarts" ]; do
        runs=$((runs + 1))
        left=$((end - SECONDS))
        echo "== $name: run $runs, $left s" | tee -a "$out/fuzz.log"
        set +e
        "$out/$fuzzer" -max_total_time="$left" -max_len=4096 -timeout=25 -print_final_stats=1 \
            -artifact_prefix="$out/findings/" "${extra[@]}" "$corpus" >"$out/run.log" 2>&1
        rc=$?
        set -e
        cat "$out/run.log" >>"$out/fuzz.log"
        n=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$out/run.log" | tail -n 1)
        total=$((total + ${n:-0}))
        if [ "$rc" -eq 0 ]; then
            break
        fi
        grep -E '^(SUMMARY|==[0-9]+==ERROR|.*_fuzzer: )' "$out/run.log" | head -n 3 || true
    done
    count=$(find "$out/findings" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | wc -l)
    executions[$name]=$total
    spent[$name]=$((SECONDS - start))
    findings[$name]=$count
    [ "$count" -gt 0 ] && anyFindings=1
done

echo
printf '%-14s %14s %9s %9s\n' target executions 'per s' findings
for t in "${targets[@]}"; do
    read -r name _ <<<"$t"
    rate=-
    if [ "${executions[$name]}" != - ] && [ "${spent[$name]:-0}" -gt 0 ]; then
        rate=$((executions[$name] / spent[$name]))
    fi
    printf '%-14s %14s %9s %9s\n' "$name" "${executions[$name]}" "$rate" "${findings[$name]}"
done
echo "($seconds s per target; findings in $build/fuzz/<target>/findings/, logs in fuzz.log beside them)"
exit "$anyFindings"
