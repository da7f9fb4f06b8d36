#!/usr/bin/env bash
# Screenshots of the real program under Wine: PNG files under BUILD_DIR/screenshots/.
#   tools/screenshots.sh [BUILD_DIR]
# Uses the project's Wine prefix of BUILD_DIR: the one the test command has set up when it is the
# caller, else its own through tools/wine-env.sh (never a prefix the caller's WINEPREFIX names: the
# script deletes the program's profile there).
# Three demo tasks in the program's profile; one has a big file, slowed down so that a backup is
# on screen long enough to be seen.
#   main-idle.png       the main window with three tasks, idle
#   main-running.png    during a backup, the status panel live
#   main-paused.png     the same backup paused
#   tray-menu.png       the tray icon's menu (screen area around it)
#   context-menu.png    a task's context menu
#   main-144dpi.png     the main window at 144 DPI
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/mingw}" && pwd)
cd "$root"

if [ -z "${VW_TEST_DRIVES:-}" ] || [ "${WINEPREFIX:-}" != "$build/wineprefix" ]; then
  source tools/wine-env.sh
  trap vw_wine_down EXIT
  vw_wine_up "$build"
fi
out="$build/screenshots"
mkdir -p "$out"

program="$build/gui/Vaultwren.exe"
probe() { wine "$build/tests/uiprobe.exe" "$@" 2>/dev/null | tr -d '\r'; }
runner() { wine "$build/cmd/VaultwrenCmd.exe" "$@" >/dev/null 2>&1; }
shot() {  # shot FILE [X Y W H]: the screen, or the part of it given, as the program's side sees it
  probe shot "Z:$out/$1" "${@:2}" || { echo "screenshots: $1 could not be saved" >&2; exit 1; }
  echo "screenshot: $out/$1"
}
start_program() {
  wine "$program" >/dev/null 2>&1 &
  rect=$(probe wait-window 60) || { echo "screenshots: the main window did not come" >&2; exit 1; }
}

profile='HKCU\Software\Morrowfen\Vaultwren'
wine reg delete "$profile" /f >/dev/null 2>&1 || true
demo="$VW_TEST_DRIVES/m/截图演示"
rm -rf "$demo" "$VW_TEST_DRIVES/n/截图演示备份"
mkdir -p "$demo/文档" "$demo/照片" "$demo/代码/src"
echo "年度报告" > "$demo/文档/报告.txt"
head -c 60000000 /dev/zero > "$demo/照片/相册.bin"
echo 'int main() {}' > "$demo/代码/src/main.cpp"
runner add --name 文档 --source 'M:\截图演示\文档' --dest 'N:\截图演示备份\文档'
runner add --name 照片 --source 'M:\截图演示\照片' --dest 'N:\截图演示备份\照片' --history 0
runner add --name 代码 --source 'M:\截图演示\代码' --dest 'N:\截图演示备份\代码'
# 90 ms a copied megabyte: the photo task runs for several seconds.
wine reg add "$profile\\SysInfo" /v Speed /t REG_DWORD /d 30 /f >/dev/null 2>&1

start_program
read -r x y w h <<<"$rect"
shot main-idle.png "$x" "$y" "$w" "$h"

probe command 32795                               # 启动
probe wait-text 1024 '正在备份：“' 60 >/dev/null
sleep 1
shot main-running.png "$x" "$y" "$w" "$h"
probe command 32790                               # 暂停
probe wait-text 1025 '暂停' 30 >/dev/null
probe wait-text 1024 '暂停运行' 10 >/dev/null
shot main-paused.png "$x" "$y" "$w" "$h"

probe tray-menu
if menu=$(probe wait-menu); then
  read -r mx my mw mh <<<"$menu"
  shot tray-menu.png $((mx - 20)) $((my - 20)) $((mw + 40)) $((mh + 40))
  probe close-menu
fi
probe command 32792                               # 停止
probe wait-text 1025 '空闲中' 30 >/dev/null

probe rclick-row 1
if menu=$(probe wait-menu); then
  read -r mx my mw mh <<<"$menu"
  left=$((mx < x ? mx : x)); top=$((my < y ? my : y))
  right=$((mx + mw > x + w ? mx + mw : x + w)); bottom=$((my + mh > y + h ? my + mh : y + h))
  shot context-menu.png "$left" "$top" $((right - left)) $((bottom - top))
  probe close-menu
fi
probe exit 60

# The same window at 144 DPI (Wine reads the setting when a program starts).
dpi_key='HKCU\Control Panel\Desktop'
wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_program
read -r x y w h <<<"$rect"
shot main-144dpi.png "$x" "$y" "$w" "$h"
probe exit 60
wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1 || true

wine reg delete "$profile" /f >/dev/null 2>&1 || true
rm -rf "$demo" "$VW_TEST_DRIVES/n/截图演示备份"
