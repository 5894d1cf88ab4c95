# Sourced by the scripts that run Windows programs: a Wine prefix of our own,
# a display (our own Xvfb when there is none) and one warm wineserver.
# Call wine_env_stop when done.

export WINEPREFIX="${TRELVO_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/trelvo/wine}"
export WINEDEBUG=-all
# No Mono or Gecko installers: the launcher needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

_trelvo_xvfb_pid=""

wine_env_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 120); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      _trelvo_xvfb_pid=$!
      export DISPLAY=":$n"
      break
    done
    local i
    for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1 || true
    # Without a window manager Wine waits for every window to be mapped by
    # one; unmanaged windows show at once.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
  fi
  # One wineserver for the whole run keeps each program start short.
  wineserver -p >/dev/null 2>&1 </dev/null &
  sleep 0.5
  # The first program of a session starts Wine's background services; start
  # them here, away from any test runner's output pipe, which they would
  # otherwise hold open.
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$_trelvo_xvfb_pid" ]; then
    kill "$_trelvo_xvfb_pid" 2>/dev/null || true
    wait "$_trelvo_xvfb_pid" 2>/dev/null || true
    _trelvo_xvfb_pid=""
  fi
}
