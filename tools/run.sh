#!/usr/bin/env bash
# Builds Vaultwren and starts it under Wine with a demo task that backs up the demo folder
# M:\VaultwrenDemo to N:\VaultwrenDemo备份. Each start changes one demo file, so the next backup
# shows an update and the previous version in the history folder "_历史文件".
#   tools/run.sh             the program's window: on this machine's display; with no display, on a
#                            virtual one, where the demo task is backed up and a screenshot is saved
#   tools/run.sh --console   the console runner backs the demo folder up, printing every status line
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mode=window
case "${1:-}" in
  --console) mode=console ;;
  "") ;;
  *) echo "usage: tools/run.sh [--console]" >&2; exit 2 ;;
esac

say() { echo "run.sh: $*"; }
had_display=${DISPLAY:-}
say "checking the packages it needs (installs what is missing)"
tools/install-deps.sh
say "building Vaultwren.exe and VaultwrenCmd.exe with mingw-w64 into build/mingw"
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target VaultwrenCmd Vaultwren uiprobe

say "preparing Wine (the prefix build/mingw/wineprefix, drives M: and N:; the first time takes a while)"
source tools/wine-env.sh
trap vw_wine_down EXIT
vw_wine_up build/mingw

demo="$VW_TEST_DRIVES/m/VaultwrenDemo"          # drive M:
mkdir -p "$demo/文档/报告" "$demo/照片"
[ -f "$demo/文档/readme.txt" ] || echo "Vaultwren 演示文件" > "$demo/文档/readme.txt"
[ -f "$demo/照片/photo.bin" ] || head -c 3000000 /dev/urandom > "$demo/照片/photo.bin"
date '+%Y-%m-%d %H:%M:%S 的报告' > "$demo/文档/报告/今天.txt"

runner() { tools/wine-exec.sh build/mingw/cmd/VaultwrenCmd.exe "$@"; }
if runner list | grep -q "没有备份任务"; then
  say "adding the demo task 演示: M:\\VaultwrenDemo → N:\\VaultwrenDemo备份"
  runner add --name 演示 --source 'M:\VaultwrenDemo' --dest 'N:\VaultwrenDemo备份'
fi
show_destination() {
  echo "--- 目标文件夹 N:\\VaultwrenDemo备份 ($VW_TEST_DRIVES/n/VaultwrenDemo备份)"
  find "$VW_TEST_DRIVES/n/VaultwrenDemo备份" -type f 2>/dev/null | sed "s|$VW_TEST_DRIVES/n/||" | sort
}

if [ $mode = console ]; then
  echo "--- 任务列表"
  runner list
  echo "--- 备份"
  status=0
  runner run --all || status=$?
  show_destination
  [ $status -eq 3 ] && say "Vaultwren.exe (or another runner) is running: the console runner left the backup to it"
  exit $status
fi

if [ -n "$had_display" ]; then
  echo "Vaultwren runs on display $had_display. The close box hides it in the tray; starting"
  echo "tools/run.sh again brings it back. Exit with the tray menu's 退出, or Ctrl+C here."
  tools/wine-exec.sh build/mingw/gui/Vaultwren.exe
  show_destination
  exit 0
fi

# No display here: the window runs on a virtual one, backs the demo task up, and is photographed.
probe() { tools/wine-exec.sh build/mingw/tests/uiprobe.exe "$@" 2>/dev/null | tr -d '\r'; }
say "no display here: starting Vaultwren.exe on the virtual display $DISPLAY"
tools/wine-exec.sh build/mingw/gui/Vaultwren.exe >/dev/null 2>&1 &
rect=$(probe wait-window 60) || { say "the window did not come up" >&2; exit 1; }
read -r x y w h <<<"$rect"
say "the window is up; backing the demo task up (its 启动 button)"
probe command 32795                                 # 启动
finished=0
probe wait-text 1024 '备份任务完成' 120 >/dev/null && finished=1
echo "--- 状态 (the window's status panel)"
probe text 1024
mkdir -p build/mingw/screenshots
shot=$root/build/mingw/screenshots/run.png
probe shot "Z:$shot" "$x" "$y" "$w" "$h" || say "the picture of the window could not be saved" >&2
say "ending Vaultwren.exe (the tray menu's 退出)"
probe exit 60 || true
show_destination
[ -f "$shot" ] && say "picture of the window after the backup: $shot"
[ $finished -eq 1 ] || { say "the backup did not finish in time" >&2; exit 1; }
