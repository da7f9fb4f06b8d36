# Sourced by the test and run scripts: sets up the Windows side of this machine for one run.
#   vw_wine_up BUILD_DIR [--fresh]   a Wine prefix inside the build tree, a display, Chinese fonts,
#                                     the test drive letters, one persistent wineserver
#   vw_wine_down                      stops what vw_wine_up started, and nothing else: a Wine server
#                                     or a tmpfs that another run (a Vaultwren.exe still open) uses stays
#
# Test drives (tests/support/TestDrives.h names them for the tests):
#   M:, N:, O:  folders under BUILD_DIR/drives, ordinary fixed disks
#   K:          a folder the prefix reports as a CD-ROM drive
#   Q:          a letter whose folder is missing (a drive with no root)
#   F:          a 4 MiB tmpfs: a disk that fills up for real (only where mounting is allowed)
#   N:\linked   a directory link to M:\link-target

vw_wine_up() {
  local build fresh=0
  build=$(cd "$1" && pwd)
  [ "${2:-}" = "--fresh" ] && fresh=1

  export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko prompts, and no menu entries on this machine for shortcuts made in the prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export VW_TEST_DRIVES="$build/drives"
  _vw_started_xvfb=""
  _vw_mounted=""
  _vw_started_server=""

  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
    _vw_started_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi

  if [ $fresh -eq 0 ] && [ -f "$WINEPREFIX/system.reg" ] && _vw_server_running; then
    # Another run of this prefix is going on (a window started by tools/run.sh): share it, and leave
    # its server, drives and display as they are.
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    return 0
  fi
  _vw_started_server=1

  if [ $fresh -eq 1 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineserver -k >/dev/null 2>&1 || true   # a server left over from an earlier run of this prefix
    _vw_unmount_full
    rm -rf "$WINEPREFIX"
    # Wine's service processes keep the first call's output open: start them with it discarded.
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    local r face
    r='HKCU\Software\Wine\Fonts\Replacements'
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "SimSun" "宋体" "黑体" "Tahoma"; do
      wine reg add "$r" /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1 </dev/null
    done
    wine reg add 'HKLM\Software\Wine\Drives' /v 'k:' /d cdrom /f >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
  _vw_make_drives
  _vw_own_desktop
  wineserver -p >/dev/null 2>&1 </dev/null || true   # fails harmlessly when one already runs
  # A display of our own has no window manager: Wine then draws the window frames itself, so
  # that titles and frames show (in screenshots too). On the user's display the desktop does.
  local decorated='HKCU\Software\Wine\X11 Driver'
  if [ -n "$_vw_started_xvfb" ]; then
    wine reg add "$decorated" /v Decorated /d N /f >/dev/null 2>&1 </dev/null
  else
    wine reg delete "$decorated" /v Decorated /f >/dev/null 2>&1 </dev/null || true
  fi
  wine cmd /c exit >/dev/null 2>&1 </dev/null   # brings the services up before anything is captured
}

_vw_make_drives() {
  local d="$WINEPREFIX/dosdevices"
  mkdir -p "$VW_TEST_DRIVES"/{m,n,o,k,full}
  ln -sfn "$VW_TEST_DRIVES/m" "$d/m:"
  ln -sfn "$VW_TEST_DRIVES/n" "$d/n:"
  ln -sfn "$VW_TEST_DRIVES/o" "$d/o:"
  ln -sfn "$VW_TEST_DRIVES/k" "$d/k:"
  ln -sfn "$VW_TEST_DRIVES/missing" "$d/q:"
  # A folder reached through a directory link: N:\linked leads to M:\link-target. Wine makes neither
  # junctions nor Windows symbolic links, but follows (and reports) links of the host's file system.
  mkdir -p "$VW_TEST_DRIVES/m/link-target"
  ln -sfn "$VW_TEST_DRIVES/m/link-target" "$VW_TEST_DRIVES/n/linked"
  rm -f "$d/f:"
  if mountpoint -q "$VW_TEST_DRIVES/full"; then
    ln -sfn "$VW_TEST_DRIVES/full" "$d/f:"
  elif mount -t tmpfs -o size=4m,mode=0777 vaultwren-full "$VW_TEST_DRIVES/full" 2>/dev/null; then
    _vw_mounted="$VW_TEST_DRIVES/full"
    ln -sfn "$VW_TEST_DRIVES/full" "$d/f:"
  else
    echo "note: cannot mount a tmpfs here; the full-disk tests will be skipped" >&2
  fi
}

# Wine links the prefix user's desktop to the home folder of this machine's user. The program writes
# its log file to the desktop: keep that inside the build tree.
_vw_own_desktop() {
  local desktop
  for desktop in "$WINEPREFIX"/drive_c/users/*/Desktop; do
    case "$desktop" in */Public/Desktop) continue ;; esac
    if [ -L "$desktop" ]; then
      rm -f "$desktop"
      mkdir -p "$desktop"
    fi
  done
}

# The Wine server of a prefix works in a folder named after the prefix's device and inode (under a
# temporary folder whose name differs between Wine builds): a process working there serves this prefix.
_vw_server_running() {
  local folder p
  folder=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/cwd" 2>/dev/null)" in */"$folder") return 0 ;; esac
  done
  return 1
}

_vw_unmount_full() {
  [ -n "${VW_TEST_DRIVES:-}" ] && mountpoint -q "$VW_TEST_DRIVES/full" 2>/dev/null &&
    umount "$VW_TEST_DRIVES/full" 2>/dev/null
  return 0
}

vw_wine_down() {
  if [ -n "${_vw_started_server:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "${_vw_mounted:-}" ]; then
    umount "$_vw_mounted" 2>/dev/null || true
  fi
  if [ -n "${_vw_started_xvfb:-}" ]; then
    kill "$_vw_started_xvfb" 2>/dev/null || true
    wait "$_vw_started_xvfb" 2>/dev/null || true
  fi
}
