#!/usr/bin/env bash
# The release as a user gets it: builds it with tools/release.sh, then in a fresh Wine prefix of its
# own installs an older build, makes a task, installs the release over the running older program
# (which setup starts again), starts the installed program, runs the portable zip from another
# folder and uninstalls silently, also with an autorun value that starts another copy.
#   tests/installer/installer-test.sh SETUPPROBE_EXE
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
probe_exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$root"

# Published with the test key (both halves in tests/keys): this test does not use the update, and
# the vendor's private key is nowhere near a test.
VW_UPDATE_SIGNING_KEY=$root/tests/keys/update-test-private.pem \
  VW_UPDATE_PUBLIC_KEY=$root/tests/keys/update-test-public.pem tools/release.sh
version=$(sed -n 's/^project(Vaultwren VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=$root/build/release
dist=$build/dist
programs=$build/stage/Vaultwren

work=$build/installer-test
rm -rf "$work"
mkdir -p "$work"
source tools/wine-env.sh
trap vw_wine_down EXIT
vw_wine_up "$work" --fresh

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "--- $*"; }
w() { wine "$@" </dev/null; }
probe() { w "$probe_exe" "$@"; }
# The data of one registry value as Wine's own reg prints it; fails when the value is missing.
reg_value() {
  local out
  out=$(w reg query "$1" /v "$2" 2>/dev/null) || return 1
  printf '%s\n' "$out" | tr -d '\r' | sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* \{2,\}//p"
}
expect_value() {  # KEY NAME EXPECTED
  local got
  got=$(reg_value "$1" "$2") || fail "$1 has no value $2"
  [ "$got" = "$3" ] || fail "$1\\$2 is '$got', expected '$3'"
}
key_exists() { w reg query "$1" >/dev/null 2>&1; }
same_files() {  # FOLDER_A FOLDER_B: the same file names with the same content
  diff <(cd "$1" && find . -type f | sort) <(cd "$2" && find . -type f | sort) >&2 || return 1
  local f
  for f in $(cd "$1" && find . -type f); do cmp -s "$1/$f" "$2/$f" || { echo "differs: $f" >&2; return 1; }; done
}
# A listing with content hashes, to show that a folder stayed exactly as it was.
snapshot() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

win_path() { w cmd /c echo "$1" | tr -d '\r'; }
install_win="$(win_path '%LOCALAPPDATA%')\\Programs\\Vaultwren"
install_dir=$(winepath -u "$install_win" 2>/dev/null)
shortcut="$(winepath -u "$(win_path '%APPDATA%')" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/Vaultwren.lnk"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vaultwren'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
profile_key='HKCU\Software\Morrowfen\Vaultwren'

step "the SHA-256 list matches the setup program and the zip"
(cd "$dist" && sha256sum --quiet -c "Vaultwren-$version-SHA256SUMS.txt") || fail "checksums"
[ "$(wc -l < "$dist/Vaultwren-$version-SHA256SUMS.txt")" -eq 2 ] || fail "the SHA-256 list names other files"

step "an older build to upgrade from: the same programs, each with different bytes"
older=$work/older/Vaultwren
mkdir -p "$older"
cp "$programs"/*.exe "$older/"
for f in "$older"/*.exe; do printf 'older build' >> "$f"; done
tools/make-installer.sh "$build" 1.09 "$older" "$work/Vaultwren-1.09-setup.exe"

step "a copy that holds the instance mutex and will not end: setup gives up and installs nothing"
probe hold CVaultwren 25 > "$work/hold.out" &
holder=$!
for _ in $(seq 100); do grep -q holding "$work/hold.out" 2>/dev/null && break; sleep 0.2; done
grep -q holding "$work/hold.out" || fail "the probe could not take the mutex"
rc=0; w "$work/Vaultwren-1.09-setup.exe" /S || rc=$?
[ $rc -eq 2 ] || fail "setup beside a busy copy exited with $rc, expected 2"
[ ! -e "$install_dir" ] || fail "setup beside a busy copy created $install_dir"
! key_exists "$uninstall_key" || fail "setup beside a busy copy wrote the uninstall entry"
wait "$holder"

step "silent install of the older build into the user's programs folder"
rc=0; w "$work/Vaultwren-1.09-setup.exe" /S || rc=$?
[ $rc -eq 0 ] || fail "silent install exited with $rc"
[ -f "$install_dir/Uninstall.exe" ] || fail "no uninstaller in $install_dir"
rm -rf "$work/installed" && mkdir "$work/installed"
cp "$install_dir"/*.exe "$work/installed/" && rm "$work/installed/Uninstall.exe"
same_files "$older" "$work/installed" || fail "the installed programs are not the older build's"
[ -f "$shortcut" ] || fail "no Start-menu shortcut $shortcut"
grep -aq 'Vaultwren.exe' "$shortcut" || fail "the shortcut does not name Vaultwren.exe"
expect_value "$uninstall_key" DisplayName Vaultwren
expect_value "$uninstall_key" DisplayVersion 1.09
expect_value "$uninstall_key" Publisher Morrowfen
expect_value "$uninstall_key" DisplayIcon "$install_win\\Vaultwren.exe,0"
expect_value "$uninstall_key" InstallLocation "$install_win"
expect_value "$uninstall_key" UninstallString "\"$install_win\\Uninstall.exe\""
expect_value "$uninstall_key" QuietUninstallString "\"$install_win\\Uninstall.exe\" /S"
size_kib=$(( $(reg_value "$uninstall_key" EstimatedSize) ))
installed_kib=$(find "$install_dir" -type f -printf '%s\n' | awk '{ s += $1 } END { print int(s / 1024) }')
[ $((size_kib - installed_kib)) -ge -4 ] && [ $((size_kib - installed_kib)) -le 4 ] ||
  fail "EstimatedSize $size_kib KiB for $installed_kib KiB of files"
! key_exists "$profile_key" || fail "setup wrote the profile"

step "the user makes a task, backs it up, changes a setting and turns autorun on"
source_dir=$VW_TEST_DRIVES/m/数据
backup_dir=$VW_TEST_DRIVES/n/数据备份
mkdir -p "$source_dir/子文件夹"
echo "第一份" > "$source_dir/a.txt"
head -c 200000 /dev/urandom > "$source_dir/子文件夹/b.bin"
w "$install_dir/VaultwrenCmd.exe" add --name 文档 --source 'M:\数据' --dest 'N:\数据备份' >/dev/null ||
  fail "the installed VaultwrenCmd.exe could not add a task"
w "$install_dir/VaultwrenCmd.exe" run --all >/dev/null || fail "the installed VaultwrenCmd.exe could not back up"
cmp -s "$source_dir/子文件夹/b.bin" "$backup_dir/子文件夹/b.bin" || fail "the backup did not reach N:"
w reg add "$profile_key\\SysInfo" /v MinTime /t REG_DWORD /d 30 /f >/dev/null
autorun="\"$install_win\\Vaultwren.exe\" /Min"
w reg add "$run_key" /v Vaultwren /d "$autorun" /f >/dev/null
backup_before=$(snapshot "$backup_dir")

step "the older program runs while the release is installed over it"
w "$install_dir/Vaultwren.exe" >/dev/null 2>&1 &
older_program=$!
probe shown CVaultwren 60 >/dev/null || fail "the older Vaultwren.exe showed no window"
rc=0; w "$dist/Vaultwren-$version-setup.exe" /S || rc=$?
[ $rc -eq 0 ] || fail "silent install over the older build exited with $rc"
for _ in $(seq 100); do kill -0 "$older_program" 2>/dev/null || break; sleep 0.2; done
! kill -0 "$older_program" 2>/dev/null || fail "setup left the older program running"
wait "$older_program" || true
step "setup starts the program it closed again (minimised, from the installed folder)"
owner=$(probe owner CVaultwren 30 | tr -d '\r') || fail "setup did not start the program it closed again"
[ "$owner" = "$install_win\\Vaultwren.exe" ] || fail "setup started '$owner' again, expected the installed program"
probe exit CVaultwren 30 || fail "the program setup started again did not exit"
rm -rf "$work/installed" && mkdir "$work/installed"
cp "$install_dir"/*.exe "$work/installed/" && rm "$work/installed/Uninstall.exe"
same_files "$programs" "$work/installed" || fail "the installed programs are not the release's"
expect_value "$uninstall_key" DisplayVersion "$version"
w "$install_dir/VaultwrenCmd.exe" list | grep -q 文档 || fail "the task made before the upgrade is gone"
expect_value "$profile_key\\Project" Count 0x1
expect_value "$profile_key\\SysInfo" MinTime 0x1e
expect_value "$run_key" Vaultwren "$autorun"

step "Vaultwren.exe from the installed folder shows its window"
w "$install_dir/Vaultwren.exe" >/dev/null 2>&1 &
program=$!
title=$(probe shown CVaultwren 60 | tr -d '\r') || fail "the installed Vaultwren.exe showed no window"
[[ "$title" == Vaultwren* ]] || fail "the window's title is '$title'"
echo "window: $title"

step "the portable zip runs from any folder"
portable=$VW_TEST_DRIVES/o/便携
mkdir -p "$portable"
unzip -q "$dist/Vaultwren-$version-portable.zip" -d "$portable"
same_files "$programs" "$portable/Vaultwren" || fail "the zip does not hold exactly the shipped programs"
w 'O:\便携\Vaultwren\VaultwrenCmd.exe' list | grep -q 文档 || fail "VaultwrenCmd.exe from the zip does not run"

step "silent uninstall while the program runs"
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
rc=0; probe run 120 "$quiet" || rc=$?
[ $rc -eq 0 ] || fail "silent uninstall exited with $rc"
probe gone CVaultwren 10 || fail "uninstall left the running program open"
wait "$program" || true
[ ! -e "$install_dir" ] || fail "uninstall left $install_dir: $(ls -A "$install_dir")"
[ ! -e "$shortcut" ] || fail "uninstall left the shortcut"
! key_exists "$uninstall_key" || fail "uninstall left the uninstall entry"
! reg_value "$run_key" Vaultwren >/dev/null || fail "uninstall left the autorun value"
expect_value "$profile_key\\Project" Count 0x1
expect_value "$profile_key\\SysInfo" MinTime 0x1e
[ "$(snapshot "$backup_dir")" = "$backup_before" ] || fail "uninstall changed the backup destination"
[ -f "$source_dir/a.txt" ] || fail "uninstall touched the source folder"

step "uninstall keeps an autorun value that starts another copy (the portable one)"
rc=0; w "$dist/Vaultwren-$version-setup.exe" /S || rc=$?
[ $rc -eq 0 ] || fail "installing again exited with $rc"
portable_autorun="\"O:\\portable\\Vaultwren\\Vaultwren.exe\" /Min"
w reg add "$run_key" /v Vaultwren /d "$portable_autorun" /f >/dev/null
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
rc=0; probe run 120 "$quiet" || rc=$?
[ $rc -eq 0 ] || fail "the second silent uninstall exited with $rc"
[ ! -e "$install_dir" ] || fail "the second uninstall left $install_dir"
expect_value "$run_key" Vaultwren "$portable_autorun"

echo "installer test passed"
