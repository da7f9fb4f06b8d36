#!/usr/bin/env bash
# Builds Vaultwren and shows its main job under Wine: a demo folder is backed up by the console
# runner, with every status line printed. Each run changes one demo file, so the next run shows
# an update and the previous version in the history folder "_历史文件".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target VaultwrenCmd

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
  runner add --name 演示 --source 'M:\VaultwrenDemo' --dest 'N:\VaultwrenDemo备份'
fi
echo "--- 任务列表"
runner list
echo "--- 备份"
runner run --all
echo "--- 目标文件夹 N:\\VaultwrenDemo备份 ($VW_TEST_DRIVES/n/VaultwrenDemo备份)"
find "$VW_TEST_DRIVES/n/VaultwrenDemo备份" -type f | sed "s|$VW_TEST_DRIVES/n/||" | sort
