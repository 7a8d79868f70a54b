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
case " $* " in
  *" --gtest_list_tests "*)
    # Test discovery: a program that Wine could not start prints nothing and Wine
    # still exits 0, which GoogleTest discovery would take for an empty test list.
    # Only a listing with at least one case counts; anything else fails discovery.
    listing=$(wine "$@")
    rc=$?
    printf '%s\n' "$listing"
    if [ $rc -eq 0 ] && ! printf '%s\n' "$listing" | grep -q '^  [A-Za-z_]'; then
      echo "wine-run: $1 listed no tests (did it start at all?)" >&2
      exit 1
    fi
    exit $rc
    ;;
esac
exec wine "$@"
