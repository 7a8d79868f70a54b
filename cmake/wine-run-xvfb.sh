#!/bin/sh
# Runs a Windows GUI program under Wine like wine-run.sh, but on the build's private
# Xvfb display and with every window of the prefix on one Wine desktop window: with no
# window manager on the virtual screen, Wine would otherwise wait for one each time it
# hides or destroys a top-level window (seconds per test).
# Usage: wine-run-xvfb.sh PREFIX PROGRAM [ARGS...]
#
# PREFIX must serve GUI runs only: Wine's desktop process, started by the first program
# of a wineserver's life, binds every later window of the prefix to its display, so a
# prefix whose services started without a display (or on an earlier one) cannot show
# windows. One Xvfb serves every run of the prefix; it is started on first use and ends,
# with the prefix's wineserver, once no run has used it for ORVO_XVFB_IDLE seconds.
# The program's output is passed through a file, so that no process it starts (Wine's
# desktop, explorer.exe) keeps the caller's pipes open after it exits. Prints nothing
# of its own on stdout: test discovery reads the program's output.
here=$(cd "$(dirname "$0")" && pwd)
idle_seconds=${ORVO_XVFB_IDLE:-60}

# True while the Xvfb of the state files serves display $1. Looks at the process and
# its socket only: asking the server itself can fail for a while when the machine is
# loaded, and a display taken for dead is a display started again under running tests.
alive() { # display number
  [ -n "$1" ] && [ -S "/tmp/.X11-unix/X$1" ] || return 1
  pid=$(cat "$state.pid" 2>/dev/null)
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]
}

# Ends the Xvfb of the state files, and nothing else: the process id may have been
# reused since.
stop_xvfb() {
  pid=$(cat "$state.pid" 2>/dev/null)
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] && kill "$pid" 2>/dev/null
  rm -f "$state.pid" "$state.display" "$state.stamp"
}

lock() { exec 8>"$state.lock" && flock 8; }
unlock() { flock -u 8; exec 8>&-; }

# Background: ends the display (and the prefix's wineserver bound to it) when no run
# has used it for idle_seconds. A watcher whose display is no longer the current one,
# or whose stamp another watcher removed, has nothing left to watch and ends.
watch() { # state display
  state=$1
  prefix=${state%.xvfb}
  while sleep 5; do
    lock
    [ "$(cat "$state.display" 2>/dev/null)" = "$2" ] && [ -f "$state.stamp" ] || exit 0
    busy=0
    for user in "$state.users"/*; do
      [ -e "$user" ] || continue
      if kill -0 "${user##*/}" 2>/dev/null; then busy=1; else rm -f "$user"; fi
    done
    if [ $busy -eq 0 ] && [ $(($(date +%s) - $(stat -c %Y "$state.stamp"))) -ge "$idle_seconds" ]; then
      WINEPREFIX="$prefix" timeout 30 wineserver -k 2>/dev/null
      stop_xvfb
      exit 0
    fi
    unlock
  done
}

# Starts a new Xvfb on a free display (Xvfb picks it and says which once it accepts
# clients) and its watcher. Called with the lock held and the old display gone.
start_display() {
  stop_xvfb
  # A new display needs a new wineserver, or windows cannot be created.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" timeout 30 wineserver -w 2>/dev/null
  rm -f "$state.new"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state.new" </dev/null >/dev/null 2>&1 8>&- &
  echo $! >"$state.pid"
  i=0
  while [ $i -lt 100 ] && ! grep -q '^[0-9]' "$state.new" 2>/dev/null && kill -0 "$(cat "$state.pid")" 2>/dev/null; do
    sleep 0.1
    i=$((i + 1))
  done
  display=$(tr -dc 0-9 <"$state.new" 2>/dev/null)
  rm -f "$state.new"
  alive "$display" || { echo "wine-run-xvfb: could not start Xvfb" >&2; return 1; }
  echo "$display" >"$state.display"
  touch "$state.stamp"
  setsid "$0" --watch "$state" "$display" </dev/null >/dev/null 2>&1 8>&- &
}

# The prefix's windows go to one desktop window the size of the screen.
use_one_desktop() {
  [ -f "$prefix/.orvo-desktop" ] && return 0
  "$here/../scripts/wine-prefix" "$prefix" >&2 8>&- || return 1
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
    </dev/null >/dev/null 2>&1 8>&-
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
    /d 1280x1024 /f </dev/null >/dev/null 2>&1 8>&-
  touch "$prefix/.orvo-desktop"
}

if [ "$1" = "--watch" ]; then
  watch "$2" "$3"
  exit 0
fi

prefix=$1
shift
state="$prefix.xvfb"
mkdir -p "$(dirname "$prefix")" "$state.users"
lock
display=$(cat "$state.display" 2>/dev/null)
if ! alive "$display"; then
  start_display || exit 1
fi
export DISPLAY=":$display"
use_one_desktop || exit 1
touch "$state.users/$$" "$state.stamp"
unlock

out=$(mktemp)
err=$(mktemp)
"$here/wine-run.sh" "$prefix" "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err" "$state.users/$$"
touch "$state.stamp"
exit $rc
