#!/usr/bin/env bash
# Copies one large file with cp and with the engine's copy under Wine, on the same disk (drive M:
# of the test set-up), and prints both times, their ratio and each one's peak memory.
#   bench/copy-1gib.sh [BUILD_DIR] [SIZE_MIB]      defaults: build/mingw, 1024
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")
size_mib=${2:-1024}
runs=10

"$root/tools/install-deps.sh" --bench
if [ ! -x "$build/bench/copybench.exe" ]; then
  cmake --preset mingw -B "$build" >/dev/null
  cmake --build "$build" --target copybench
fi

# A Wine prefix of the benchmark's own, so that stopping it at the end leaves the tests' prefix alone.
# shellcheck source=../tools/wine-env.sh
source "$root/tools/wine-env.sh"
mkdir -p "$build/bench-run"
work=""
trap '[ -n "$work" ] && rm -rf "$work"; vw_wine_down' EXIT
vw_wine_up "$build/bench-run" || true   # not under errexit: a wineserver already running is fine
name="bench-$$"
work="$VW_TEST_DRIVES/m/$name"
mkdir -p "$work"

echo "Making a $size_mib MiB file of random bytes..."
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/source.bin"
sync

bench_exe="$build/bench/copybench.exe"
cp_cmd="cp $work/source.bin $work/cp.bin"
vw_cmd="wine $bench_exe M:\\\\$name\\\\source.bin M:\\\\$name\\\\vw.bin"

# Both start from the same state: no destination, nothing dirty waiting to be written back.
hyperfine --style basic --warmup 1 --runs "$runs" --prepare "rm -f $work/cp.bin $work/vw.bin; sync" \
  --export-csv "$work/times.csv" -n cp "$cp_cmd" -n vaultwren "$vw_cmd"

cmp "$work/source.bin" "$work/vw.bin" || { echo "the copy differs from its source" >&2; exit 1; }

peak_kib() {  # the command's maximum resident set size, in KiB
  rm -f "$work/cp.bin" "$work/vw.bin"
  sync
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
cp_peak=$(peak_kib cp "$work/source.bin" "$work/cp.bin")
vw_peak=$(peak_kib wine "$bench_exe" "M:\\$name\\source.bin" "M:\\$name\\vw.bin")
# The copy alone, as the program times it (Wine's start-up left out).
inner=()
for _ in $(seq "$runs"); do
  rm -f "$work/vw.bin"
  sync
  inner+=("$(wine "$bench_exe" "M:\\$name\\source.bin" "M:\\$name\\vw.bin" | awk '{print $2}')")
done
inner_median=$(printf '%s\n' "${inner[@]}" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}')

awk -F, -v cp_peak="$cp_peak" -v vw_peak="$vw_peak" -v inner="$inner_median" -v mib="$size_mib" -v runs="$runs" '
  NR > 1 { mean[$1] = $2; median[$1] = $4 }
  END {
    printf "\n%d MiB on one disk, %d runs each (median / mean):\n", mib, runs
    printf "  cp                   %6.3f / %6.3f s   peak RSS %8d KiB\n", median["cp"], mean["cp"], cp_peak
    printf "  vaultwren under Wine %6.3f / %6.3f s   peak RSS %8d KiB\n", median["vaultwren"], mean["vaultwren"], vw_peak
    printf "  the copy alone       %6.3f s (median; no Wine start-up)\n", inner
    printf "  ratio to cp (median): whole program %.2f, copy alone %.2f\n", median["vaultwren"] / median["cp"], inner / median["cp"]
  }' "$work/times.csv"
