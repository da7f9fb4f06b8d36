#!/usr/bin/env bash
# Times Vaultwren's backup (VaultwrenCmd run, history kept) against rsync, Wine's xcopy and two
# bare Win32 floors (bench/barecopy.cpp, bench/barelist.cpp) in the same run, on a generated tree:
#   S1  first backup into an empty destination
#   S2  the same again with nothing changed
#   S3  after 1 % of the files changed, 0.5 % deleted and 0.5 % added (bench/gen-tree.py change)
#   S4  one 1 GiB file, against cp
#   S1xN, S2xN  S1 and S2 of Vaultwren alone on a tree N times as large (files and folders), with
#       VW_BENCH_SCALE=N (4 makes the 200,000-file row from the default 50,000): cost must grow
#       linearly or better
# then prints a table of medians and peak memory, and whether each goal is met. Run by hand:
#   bench/run-bench.sh [BUILD_DIR]          default build/mingw
# Sizes and repeats can be changed for a quick try: VW_BENCH_FILES, VW_BENCH_FOLDERS, VW_BENCH_RUNS,
# VW_BENCH_BIG_MIB. VW_BENCH_ONLY="S2 S3" runs only those scenarios (S2 and S3 need S1's results).
# VW_BENCH_BASELINE=OTHER_BUILD_DIR adds that build's VaultwrenCmd as the tool "baseline", timed in
# turn with the others on a task and destination of its own: a change is judged against the build
# before it under the same load, which a busy machine makes impossible across two runs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")
files=${VW_BENCH_FILES:-50000}
folders=${VW_BENCH_FOLDERS:-5000}
runs=${VW_BENCH_RUNS:-3}
big_mib=${VW_BENCH_BIG_MIB:-1024}
only=${VW_BENCH_ONLY:-S1 S2 S3 S4}
scale=${VW_BENCH_SCALE:-}
baseline_build=${VW_BENCH_BASELINE:+$(realpath -m "$VW_BENCH_BASELINE")}

"$root/tools/install-deps.sh" --bench
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target VaultwrenCmd barecopy barelist
vw_tools=(vaultwren)
if [ -n "$baseline_build" ]; then
  cmake --build "$baseline_build" --target VaultwrenCmd
  vw_tools+=(baseline)
fi

# A Wine prefix of the benchmark's own, so that stopping it at the end leaves the tests' prefix alone.
# shellcheck source=../tools/wine-env.sh
source "$root/tools/wine-env.sh"
mkdir -p "$build/bench-wine"
trap 'vw_wine_down' EXIT
vw_wine_up "$build/bench-wine" || true   # not under errexit: a wineserver already running is fine
export VAULTWREN_PROFILE_KEY='Software\VaultwrenBench'

data="$build/bench-data"
src="$data/src"
big="$data/big-src"
scaled="$data/scaled-src"
results="$data/results.tsv"
changes="$data/changed-files.txt"
mkdir -p "$data"

# Where a run keeps what it saw of its destination (%LOCALAPPDATA%\Vaultwren\RunState).
runstate="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Vaultwren/RunState"
vwcmd="$build/cmd/VaultwrenCmd.exe"
basecmd="${baseline_build:+$baseline_build/cmd/VaultwrenCmd.exe}"
barecopy="$build/bench/barecopy.exe"
barelist="$build/bench/barelist.exe"
# The names the backup keeps in its destination besides the copy of the source.
own_names=(--exclude=/_历史文件 --exclude=/_TEMP --exclude=/_Vaultwren.ini)

win() {  # the Windows path of a Linux path (Z: is the root of the Linux file system)
  printf 'Z:%s' "${1//\//\\}"
}

dest() {  # dest SCENARIO TOOL: the destination folder that tool writes in that scenario
  case $1 in
    S4) printf '%s/big-dest-%s' "$data" "$2" ;;
    S?x*) printf '%s/scaled-dest-%s' "$data" "$2" ;;
    *) printf '%s/dest-%s' "$data" "$2" ;;
  esac
}

task() {  # task SCENARIO [TOOL]: the task for it; S1 to S3 share one, and so its destination
  local name=bench
  [ "$1" = S4 ] && name=bench-big
  [[ $1 == S?x* ]] && name=bench-scaled
  if [ "${2:-vaultwren}" = baseline ]; then echo "$name-baseline"; else echo "$name"; fi
}

vw() {  # vw TOOL ARGS...: runs that tool's VaultwrenCmd on the benchmark's own profile
  local exe=$vwcmd
  [ "$1" = baseline ] && exe=$basecmd
  shift
  "$root/tools/wine-exec.sh" "$exe" "$@"
}

# The commands each tool runs in a scenario. xcopy's exit code 1 means "no file needed copying".
run_tool() {  # run_tool SCENARIO TOOL
  local s=$1 tool=$2 from d
  from=$src
  [ "$s" = S4 ] && from=$big
  [[ $s == S?x* ]] && from=$scaled
  d=$(dest "$s" "$tool")
  case $tool in
    vaultwren | baseline) vw "$tool" run "$(task "$s" "$tool")" ;;
    rsync) rsync -a --delete "$from/" "$d/" ;;
    xcopy) wine xcopy /E /D /Y /I /Q "$(win "$from")" "$(win "$d")" || [ $? -eq 1 ] ;;
    cp) cp -a "$from" "$d" ;;
    floor)
      case $s in
        S1 | S4) wine "$barecopy" "$(win "$from")" "$(win "$d")" ;;
        S2) wine "$barelist" "$(win "$from")" "$(win "$d")" ;;
        S3) wine "$barelist" "$(win "$from")" "$(win "$d")" &&
              wine "$barecopy" "$(win "$from")" "$(win "$d")" "$(win "$changes")" ;;
      esac ;;
  esac
}

is_vw() { [ "$1" = vaultwren ] || [ "$1" = baseline ]; }

# Puts a tool's destination back where the scenario starts from (untimed).
reset_tool() {  # reset_tool SCENARIO TOOL
  local s=$1 tool=$2 d
  d=$(dest "$s" "$tool")
  case $s in
    S1 | S4 | S1x*)
      rm -rf "$d"
      # The task forgets the destination it was bound to, so it may start again in a new one.
      if is_vw "$tool"; then vw "$tool" reset "$(task "$s" "$tool")" >/dev/null; fi
      ;;
    S3)
      if is_vw "$tool"; then
        rsync -a --delete "$data/base-$tool/" "$d/"
        # With the destination, the state its last run saved of it: as a user's next run finds both.
        rsync -a --delete "$data/base-runstate/" "$runstate/"
      else
        rsync -a --delete --delete-excluded "${own_names[@]}" "$data/base/" "$d/"
      fi ;;
  esac
  sync
}

# Runs one timed command under GNU time and adds "scenario tool seconds peak-KiB" to the results.
timed() {  # timed SCENARIO TOOL
  local s=$1 tool=$2 seconds kib
  # Exported for the child shell: GNU time needs one command to measure, with all its children.
  export -f run_tool dest win vw task
  export root src big scaled data changes vwcmd basecmd barecopy barelist
  if ! /usr/bin/time -v -o "$data/time.txt" bash -c 'run_tool "$@"' _ "$s" "$tool" >"$data/last.log" 2>&1; then
    echo "$tool failed in $s:" >&2
    cat "$data/last.log" "$data/time.txt" >&2
    exit 1
  fi
  seconds=$(awk '/Elapsed \(wall clock\)/ {n = split($NF, p, ":"); t = 0; for (i = 1; i <= n; i++) t = t * 60 + p[i]; print t}' "$data/time.txt")
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$data/time.txt")
  printf '%s\t%s\t%s\t%s\n' "$s" "$tool" "$seconds" "$kib" >>"$results"
  printf '  %-3s %-10s %8.2f s %8d KiB\n' "$s" "$tool" "$seconds" "$kib"
}

scenario() {  # scenario NAME RESET(0|1) TOOL...
  local s=$1 reset=$2 rep tool
  shift 2
  local tools=("$@")
  echo "$s:"
  for rep in $(seq "$runs"); do
    # The tools take turns, so that a slow spell of the machine hits all of them alike, and each
    # repetition starts one tool further on: the tool that follows another one's heavy writing
    # back is not always the same.
    for tool in "${tools[@]:rep-1}" "${tools[@]:0:rep-1}"; do
      [ "$reset" = 1 ] && reset_tool "$s" "$tool"
      timed "$s" "$tool"
    done
  done
}

verify() {  # verify LABEL SOURCE DEST: content and times of every file, the backup's own names aside
  local differences
  differences=$(rsync -rlt -O -c -n -i --delete "${own_names[@]}" "$1/" "$2/")
  if [ -z "$differences" ]; then
    echo "  check $1 -> $2 ($3): OK"
  else
    echo "  check $1 -> $2 ($3): FAIL"
    head -20 <<<"$differences"
    failures=$((failures + 1))
  fi
}

wants() { [[ " $only " == *" $1 "* ]]; }

failures=0
: >"$results"
# Other work on the machine shows in the times: say what was measured and how busy the machine was.
echo "Tree $(git -C "$root" describe --always --dirty), $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
if wants S1; then
  echo "Making the source tree ($files files in $folders folders)..."
  rm -rf "$src" "$data"/dest-* "$data"/base*
  python3 "$root/bench/gen-tree.py" make "$src" --files "$files" --folders "$folders"
fi
if wants S4 && { [ ! -f "$big/big.bin" ] || [ "$(stat -c %s "$big/big.bin")" -ne $((big_mib * 1024 * 1024)) ]; }; then
  echo "Making a $big_mib MiB file of random bytes..."
  mkdir -p "$big"
  head -c "$((big_mib * 1024 * 1024))" /dev/urandom >"$big/big.bin"
fi
# Tasks on a profile of the benchmark's own. The destination's marker names its task, so S2 and S3
# go on with S1's task in S1's destination.
# A scenario that starts in an empty destination starts with a new task.
for s in S1 S4; do
  wants "$s" || continue
  from=$src
  [ "$s" = S4 ] && from=$big
  for tool in "${vw_tools[@]}"; do
    vw "$tool" remove "$(task "$s" "$tool")" >/dev/null 2>&1 || true
    vw "$tool" add --name "$(task "$s" "$tool")" --source "$(win "$from")" --dest "$(win "$(dest "$s" "$tool")")" \
      --force >/dev/null
  done
done

echo "Reading the source once, untimed, so that every tool starts with it in the page cache"
echo "(the cache is not dropped between runs: all tools see the same warm cache)."
find "$src" -type f -print0 | xargs -0 cat >/dev/null

if wants S1; then
  scenario S1 1 "${vw_tools[@]}" floor rsync xcopy
  verify "$src" "$(dest S1 vaultwren)" "Vaultwren"
  verify "$src" "$(dest S1 floor)" "bare copy"
fi

if wants S2; then
  scenario S2 0 "${vw_tools[@]}" floor rsync xcopy
fi

if wants S3; then
  # Every tool starts S3 from the state after the first backup: Vaultwren's destination then.
  rm -rf "$data"/base*
  cp -a "$(dest S1 vaultwren)" "$data/base"
  # Each Vaultwren build starts from its own first backup: the marker in it names its task.
  for tool in "${vw_tools[@]}"; do cp -a "$(dest S1 "$tool")" "$data/base-$tool"; done
  mkdir -p "$runstate"
  cp -a "$runstate" "$data/base-runstate"
  python3 "$root/bench/gen-tree.py" change "$src" "$changes"
  find "$src" -type f -print0 | xargs -0 cat >/dev/null
  scenario S3 1 "${vw_tools[@]}" floor rsync xcopy
  verify "$src" "$(dest S3 vaultwren)" "Vaultwren"
  # Each rewritten or deleted file's previous version is kept in the history folder.
  kept=$(find "$(dest S3 vaultwren)/_历史文件" -type f | wc -l)
  # As many files were added as deleted: the list's length is the number rewritten plus deleted.
  expected=$(wc -l <"$changes")
  if [ "$kept" -eq "$expected" ]; then
    echo "  previous versions kept: $kept of $expected: OK"
  else
    echo "  previous versions kept: $kept of $expected: FAIL"
    failures=$((failures + 1))
  fi
fi

if wants S4; then
  cat "$big/big.bin" >/dev/null
  scenario S4 1 "${vw_tools[@]}" cp floor rsync xcopy
  verify "$big" "$(dest S4 vaultwren)" "Vaultwren"
fi

if [ -n "$scale" ]; then
  echo "Making the scaled source tree ($((files * scale)) files in $((folders * scale)) folders)..."
  rm -rf "$scaled" "$data"/scaled-dest-*
  python3 "$root/bench/gen-tree.py" make "$scaled" --files "$((files * scale))" --folders "$((folders * scale))"
  for tool in "${vw_tools[@]}"; do
    vw "$tool" remove "$(task S1x "$tool")" >/dev/null 2>&1 || true
    vw "$tool" add --name "$(task S1x "$tool")" --source "$(win "$scaled")" --dest "$(win "$(dest S1x "$tool")")" \
      --force >/dev/null
  done
  find "$scaled" -type f -print0 | xargs -0 cat >/dev/null
  scenario "S1x$scale" 1 "${vw_tools[@]}"
  verify "$scaled" "$(dest S1x vaultwren)" "Vaultwren"
  scenario "S2x$scale" 0 "${vw_tools[@]}"
fi

awk -F'\t' -v runs="$runs" -v scale="$scale" '
  function median(key,    n, i, j, t, v) {
    n = split(times[key], v, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
  {
    key = $1 SUBSEP $2
    times[key] = times[key] " " $3
    if ($4 > peak[key]) peak[key] = $4
    if (!(key in seen)) { seen[key] = 1; order[++count] = key }
  }
  END {
    floorname["S1"] = "bare copy"; floorname["S2"] = "bare listing of both trees"
    floorname["S3"] = "bare listing + bare copy of the changed files"; floorname["S4"] = "cp"
    for (k in seen) med[k] = median(k)
    printf "\nMedian of %d runs each; warm page cache; peak RSS is the largest of the runs.\n", runs
    printf "Floors: S1 %s, S2 %s, S3 %s, S4 %s.\n\n", floorname["S1"], floorname["S2"], floorname["S3"], floorname["S4"]
    printf "%-4s %-10s %10s %10s %9s %9s %9s\n", "", "tool", "median s", "peak MiB", "÷floor", "÷rsync", "÷xcopy"
    for (i = 1; i <= count; i++) {
      split(order[i], p, SUBSEP); s = p[1]; t = p[2]
      fl = (s == "S4") ? "cp" : "floor"
      printf "%-4s %-10s %10.2f %10.1f %9s %9s %9s\n", s, t, med[order[i]], peak[order[i]] / 1024,
             ratio(med[order[i]], med[s SUBSEP fl]), ratio(med[order[i]], med[s SUBSEP "rsync"]),
             ratio(med[order[i]], med[s SUBSEP "xcopy"])
    }
    printf "\nGoals:\n"
    goal("S1", "floor", 0.75, "S1 Vaultwren <= 0.75 x bare copy")
    if (("S1" SUBSEP "vaultwren") in med)
      verdict("S1 Vaultwren faster than xcopy", med["S1" SUBSEP "vaultwren"] < med["S1" SUBSEP "xcopy"])
    goal("S2", "floor", 0.6, "S2 Vaultwren <= 0.6 x bare listing")
    # What changed costs at most its bare copy on top of a run with nothing changed.
    if (("S3" SUBSEP "vaultwren") in med && ("S2" SUBSEP "vaultwren") in med && ("S2" SUBSEP "floor") in med) {
      v = med["S3" SUBSEP "vaultwren"]; f = med["S2" SUBSEP "vaultwren"] + med["S3" SUBSEP "floor"] - med["S2" SUBSEP "floor"]
      verdict(sprintf("S3 Vaultwren <= S2 Vaultwren + bare copy of the changed files (%.2f s of %.2f s)", v, f), v <= f)
    }
    goal("S4", "cp", 1.1, "S4 Vaultwren within 10 % of cp")
    for (i = 1; i <= 2 && scale != ""; i++) {
      s = "S" i; k = s "x" scale
      if (!((k SUBSEP "vaultwren") in med) || !((s SUBSEP "vaultwren") in med)) continue
      verdict(sprintf("%s Vaultwren time <= %.1f x %s (%.2f x)", k, 1.05 * scale, s,
                      med[k SUBSEP "vaultwren"] / med[s SUBSEP "vaultwren"]),
              med[k SUBSEP "vaultwren"] <= 1.05 * scale * med[s SUBSEP "vaultwren"])
      verdict(sprintf("%s Vaultwren peak memory <= 2 x %s (%.2f x)", k, s, peak[k SUBSEP "vaultwren"] / peak[s SUBSEP "vaultwren"]),
              peak[k SUBSEP "vaultwren"] <= 2 * peak[s SUBSEP "vaultwren"])
    }
    worst = 0
    for (k in peak) { split(k, p, SUBSEP); if (p[2] == "vaultwren" && p[1] !~ /x/ && peak[k] > worst) worst = peak[k] }
    verdict(sprintf("Vaultwren peak memory < 64 MiB on the main tree (largest %.1f MiB)", worst / 1024), worst < 64 * 1024)
    line = ""
    for (i = 1; i <= 6; i++) {
      s = i <= 4 ? "S" i : "S" (i - 4) "x" scale
      if ((s SUBSEP "baseline") in med && (s SUBSEP "vaultwren") in med)
        line = line sprintf("  %s %.2f x", s, med[s SUBSEP "vaultwren"] / med[s SUBSEP "baseline"])
    }
    if (line != "") printf "\nVaultwren against the baseline build (median ÷ median, same run):%s\n", line
  }
  function goal(s, fl, limit, text,    v, f) {
    if (!((s SUBSEP "vaultwren") in med)) return
    v = med[s SUBSEP "vaultwren"]; f = med[s SUBSEP fl]
    verdict(sprintf("%s (%.2f x)", text, v / f), v <= limit * f)
  }
  function verdict(text, ok) { printf "  %-78s %s\n", text, ok ? "met" : "MISSED" }
' "$results"

[ "$failures" -eq 0 ] || { echo "$failures correctness check(s) failed" >&2; exit 1; }
