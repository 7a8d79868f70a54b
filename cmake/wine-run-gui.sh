#!/bin/sh
# Runs a Windows GUI program under Wine on a private Xvfb display.
# Usage: wine-run-gui.sh PREFIX PROGRAM [ARGS...]
# PREFIX must serve GUI runs only: Wine's desktop process, started by the first
# program of a wineserver's life, binds every later window of the prefix to its
# display, so a prefix whose services started without a display cannot show windows.
# One Xvfb serves every GUI run of the prefix; it is started on first use and ends by
# itself once no run has used it for a while. The program's output is passed through
# a file, so that no process it starts (Wine's desktop, explorer.exe) keeps the
# caller's pipes open after it exits. Prints nothing of its own on stdout.
prefix=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
state="$prefix.xvfb"
idle_seconds=${ORVO_XVFB_IDLE:-60}

alive() { # display number
  [ -n "$1" ] && DISPLAY=":$1" xdpyinfo >/dev/null 2>&1
}

# Background: ends the display when no run has used it for idle_seconds.
if [ "$prefix" = "--watch" ]; then
  state=$1
  while sleep 5; do
    exec 8>"$state.lock"
    flock 8
    busy=0
    for user in "$state.users"/*; do
      [ -e "$user" ] || continue
      if kill -0 "${user##*/}" 2>/dev/null; then busy=1; else rm -f "$user"; fi
    done
    if [ $busy -eq 0 ] && [ -f "$state.stamp" ] &&
       [ $(( $(date +%s) - $(stat -c %Y "$state.stamp") )) -ge "$idle_seconds" ]; then
      pid=$(cat "$state.pid" 2>/dev/null)
      [ -n "$pid" ] && kill "$pid" 2>/dev/null
      rm -f "$state.pid" "$state.display" "$state.stamp"
      exit 0
    fi
    flock -u 8
    exec 8>&-
  done
fi

mkdir -p "$(dirname "$prefix")" "$state.users"
exec 8>"$state.lock"
flock 8
display=$(cat "$state.display" 2>/dev/null)
if ! alive "$display"; then
  pid=$(cat "$state.pid" 2>/dev/null)
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  display=""
  # Wine's desktop process belongs to the display it started on: a new display
  # needs a new wineserver, or windows cannot be created.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null
  n=90
  while [ $n -lt 200 ]; do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      echo $! >"$state.pid"
      i=0
      while [ $i -lt 50 ] && ! alive $n && kill -0 "$(cat "$state.pid")" 2>/dev/null; do
        sleep 0.2
        i=$((i + 1))
      done
      if alive $n; then display=$n; break; fi
    fi
    n=$((n + 1))
  done
  [ -n "$display" ] || { echo "wine-run-gui: could not start Xvfb" >&2; exit 1; }
  echo "$display" >"$state.display"
  touch "$state.stamp"
  setsid "$0" --watch "$state" </dev/null >/dev/null 2>&1 &
fi
touch "$state.users/$$" "$state.stamp"
flock -u 8
exec 8>&-

export DISPLAY=":$display"
out=$(mktemp)
err=$(mktemp)
"$here/wine-run.sh" "$prefix" "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err" "$state.users/$$"
touch "$state.stamp"
exit $rc
