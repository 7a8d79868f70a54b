#!/bin/sh
# Runs a Windows GUI program under Wine in the build tree's prefix, on the build
# tree's private virtual screen (never on the user's own display).
# The program's output is collected in files and printed when it ends: Wine's
# desktop process, started by the first window, must not inherit the caller's
# output pipe, or the caller would wait for it forever.
# Usage: wine-gui-run.sh PREFIX PROGRAM [ARGS...]
prefix=$1
shift
here=$(dirname "$0")
display=$("$here/../scripts/xvfb-display" "$prefix.xvfb") || exit 1
export DISPLAY="$display"
# Windows live on one Wine desktop window instead of being X windows of their own:
# without a window manager on the virtual screen, Wine would wait for one on every
# window it hides or destroys.
if [ ! -f "$prefix/.orvo-desktop" ]; then
  "$here/../scripts/wine-prefix" "$prefix" >&2 || exit 1
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
    </dev/null >/dev/null 2>&1
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
    /d 1280x1024 /f </dev/null >/dev/null 2>&1
  touch "$prefix/.orvo-desktop"
fi
out=$(mktemp) err=$(mktemp)
"$here/wine-run.sh" "$prefix" "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
