#!/bin/sh
# Runs a Windows program under Wine for the build and the tests:
#   cmake/wine-run.sh PROGRAM.exe [ARGUMENTS...]
# with a Wine prefix of its own (WINEPREFIX, default /tmp/quorvanite-wine-$USER), no
# display (none is needed by a console program), Wine's own messages off, and
# neither Mono nor Gecko asked for. The prefix is made once, under a lock, so that
# tests run in parallel do not each pay for it (wineboot takes some seconds).
: "${WINEPREFIX:=/tmp/quorvanite-wine-$(id -un)}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
WINE=${WINE:-$(command -v wine || command -v wine64)}
if [ -z "$WINE" ]; then
  echo "wine-run.sh: Wine is not installed (apt-get install wine64 wine)" >&2
  exit 127
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$WINE" wineboot --init < /dev/null > /dev/null 2>&1
      "${WINESERVER:-wineserver}" -w 2> /dev/null || true
    fi
  ) 9> "$WINEPREFIX.lock"
fi
exec "$WINE" "$@"
