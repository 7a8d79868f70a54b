#!/bin/sh
# Runs a Windows GUI test program like wine-run-gui.sh (on the build's private Xvfb),
# with the prefix's windows on one Wine desktop window instead of X windows of their
# own: with no window manager on the virtual screen, Wine would otherwise wait for
# one each time it hides or destroys a top-level window (seconds per test).
# Usage: wine-gui-run.sh PREFIX PROGRAM [ARGS...]
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$prefix/.orvo-desktop" ]; then
  "$here/../scripts/wine-prefix" "$prefix" >&2 || exit 1
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
    </dev/null >/dev/null 2>&1
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
    /d 1280x1024 /f </dev/null >/dev/null 2>&1
  touch "$prefix/.orvo-desktop"
fi
exec "$here/wine-run-gui.sh" "$@"
