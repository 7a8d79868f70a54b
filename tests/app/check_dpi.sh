#!/bin/sh
# The main window at 144, 192 and 96 DPI, in a Wine prefix of its own whose display
# scale each run sets: every run checks fonts and controls at its scale and writes its
# layout; the 96 run, last, also tells its window that the scale changed and compares
# with the layouts of the windows made at the other scales.
# Usage: check_dpi.sh SOURCE_DIR BUILD_DIR TEST_EXE
set -u
root=$1
build=$2
exe=$3
prefix="$build/wineprefix-dpi"
out="$build/artifacts/dpi"
rm -rf "$out"
mkdir -p "$out"
run() { "$root/cmake/wine-run-xvfb.sh" "$prefix" "$@"; }
# A window made at 192 DPI is wider than the usual virtual screen: this prefix's Wine
# desktop is made larger, once (its desktop process reads the size when it starts).
if [ ! -f "$prefix/.orvo-large-desktop" ]; then
  run reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 2560x1600 /f >/dev/null 2>&1 &&
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null
  touch "$prefix/.orvo-large-desktop"
fi
status=0
for dpi in 144 192 96; do
  # Wine takes the scale from either key when a process starts.
  for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    run reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || status=1
  done
  ORVO_DPI=$dpi ORVO_DPI_DIR="Z:$(echo "$out" | tr / '\\')" run "$exe" --gtest_filter='DpiTest.*' || status=1
done
exit $status
