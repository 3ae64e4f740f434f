# Sourced by the scripts: a Wine prefix of the project's own inside build/, quiet, without the
# optional Mono and Gecko installers, and a persistent server so that each test program starts
# in a fraction of a second.
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

start_wineserver() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Answers non-zero when a server for this prefix is running already; that one serves.
  wineserver -p 2>/dev/null || true
  # Start Wine's background services now, detached from any output pipe: started by the first
  # test program they would inherit ctest's pipes and keep ctest waiting for them to close.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  # That start also brings up a desktop process without a display, which lingers for a few
  # seconds; a test program that opens a window meanwhile gets no display driver at all.
  local waited=0
  while desktop_without_display_running && [ "$waited" -lt 300 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
}

# True while this prefix's desktop process, started without a display, still runs.
desktop_without_display_running() {
  local pid
  for pid in $(pgrep -f 'explorer\.exe /desktop' || true); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" &&
       ! tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -q '^DISPLAY='; then
      return 0
    fi
  done
  return 1
}
