#!/usr/bin/env bash
# Times VaultwrenCmd verify (every file read on both sides and compared) against the floor of
# reading both trees whole with bare Win32 calls (bench/bareread.cpp), taking turns in one run, on
# a generated tree backed up once beforehand. Prints the medians and verify's ratio to the floor.
#   bench/verify-bench.sh [BUILD_DIR]          default build/mingw
# Sizes and repeats: VW_BENCH_FILES (default 5000), VW_BENCH_FOLDERS (500), VW_BENCH_RUNS (3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")
files=${VW_BENCH_FILES:-5000}
folders=${VW_BENCH_FOLDERS:-500}
runs=${VW_BENCH_RUNS:-3}

"$root/tools/install-deps.sh"
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target VaultwrenCmd bareread

# A Wine prefix of the benchmark's own, so that stopping it leaves the tests' prefix alone.
# shellcheck source=../tools/wine-env.sh
source "$root/tools/wine-env.sh"
mkdir -p "$build/verify-bench-wine"
trap 'vw_wine_down' EXIT
vw_wine_up "$build/verify-bench-wine" || true
export VAULTWREN_PROFILE_KEY='Software\VaultwrenVerifyBench'

data="$build/verify-bench-data"
src="$data/src"
dest="$data/dest"
vwcmd="$build/cmd/VaultwrenCmd.exe"
bareread="$build/bench/bareread.exe"
win() { printf 'Z:%s' "${1//\//\\}"; }
vw() { "$root/tools/wine-exec.sh" "$vwcmd" "$@"; }

echo "Tree $(git -C "$root" describe --always --dirty), $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Making the source tree ($files files in $folders folders) and its backup..."
rm -rf "$data"
mkdir -p "$data"
python3 "$root/bench/gen-tree.py" make "$src" --files "$files" --folders "$folders"
vw add --name bench-verify --source "$(win "$src")" --dest "$(win "$dest")" >/dev/null
vw run bench-verify >"$data/backup.log" 2>&1 || { cat "$data/backup.log"; exit 1; }
# Both trees in the page cache before the first timed run: every run sees the same warm cache.
find "$src" "$dest" -type f -print0 | xargs -0 cat >/dev/null

timed() {  # timed TOOL: seconds of one run, appended to the tool's list
  local tool=$1 start end seconds
  start=$(date +%s.%N)
  case $tool in
    verify) vw verify bench-verify >"$data/verify.log" 2>&1 || { cat "$data/verify.log"; exit 1; } ;;
    floor) wine "$bareread" "$(win "$src")" "$(win "$dest")" >"$data/last.log" 2>&1 || { cat "$data/last.log"; exit 1; } ;;
  esac
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
  echo "$tool $seconds" >>"$data/times.txt"
  printf '  %-7s %8.2f s\n' "$tool" "$seconds"
}

: >"$data/times.txt"
for rep in $(seq "$runs"); do
  # Each repetition starts with the other tool.
  if [ $((rep % 2)) -eq 1 ]; then timed verify; timed floor; else timed floor; timed verify; fi
done
# What verify found (it exits 1 on any difference, which ends the script above).
grep -a "校验任务" "$data/verify.log" | tail -1

awk '
  { t[$1] = t[$1] " " $2 }
  function median(s,    n, v, i, j, x) {
    n = split(s, v, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { x = v[j]; v[j] = v[j - 1]; v[j - 1] = x }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  END {
    v = median(t["verify"]); f = median(t["floor"])
    printf "\nMedians: verify %.2f s, bare read of both trees %.2f s: verify = %.2f x the floor\n", v, f, v / f
  }' "$data/times.txt"
