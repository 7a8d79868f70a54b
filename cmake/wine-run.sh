#!/bin/sh
# Runs a Windows program under Wine in the build tree's disposable prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# Prints nothing of its own on stdout: test discovery reads the program's output.
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
"$(dirname "$0")/../scripts/wine-prefix" "$prefix" >&2 || exit 1
exec wine "$@"
