# Shared by the tools: the project's own Wine prefix and virtual display.
# Source it; it defines functions, picks the Wine loader (below) and never starts anything
# by itself.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
export WINEPREFIX=${ORFEDA_WINEPREFIX:-$ROOT/build/wine/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts, and no winemenubuilder: Wine would otherwise copy every
# link a test makes into the Linux desktop's menus of the user running the tests.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}

STARTED_PIDS=()
STARTED_PREFIXES=()  # further prefixes whose wineserver stop_started ends

# The Windows architecture the tests build for. setup.exe ships as a 32-bit program, and
# 32-bit Wine needs the kernel's 32-bit support; a machine booted without it (the 32-bit
# loader then fails with "Exec format error") builds the same code for x86_64 and runs it
# with the 64-bit Wine, which the wrapper put first on PATH below provides as "wine" (and
# "wine-stable").
wine_select_loader() {
  if [ -z "${ORFEDA_WINDOWS_ARCH:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
      ORFEDA_WINDOWS_ARCH=i686
    else
      ORFEDA_WINDOWS_ARCH=x86_64
    fi
  fi
  export ORFEDA_WINDOWS_ARCH
  if [ "$ORFEDA_WINDOWS_ARCH" = x86_64 ]; then
    local bin="$ROOT/build/wine/bin"
    mkdir -p "$bin"
    printf '%s\n' '#!/bin/sh' '# The 64-bit Wine loader (this machine cannot run the 32-bit one).' \
      'export WINELOADER=/usr/lib/wine/wine64' 'exec /usr/lib/wine/wine64 "$@"' >"$bin/wine"
    chmod +x "$bin/wine"
    # Debian's winepath, wineboot, ... start "wine-stable", which would pick the 32-bit loader.
    ln -sf wine "$bin/wine-stable"
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
  fi
}

# A build folder configured for the other architecture is configured anew.
wine_check_build_arch() {
  local cache="$1/CMakeCache.txt"
  if [ -f "$cache" ] && ! grep -q "^CMAKE_CXX_COMPILER_AR:FILEPATH=.*/$ORFEDA_WINDOWS_ARCH-w64-mingw32-" "$cache"; then
    echo "configuring $1 anew for $ORFEDA_WINDOWS_ARCH"
    rm -rf "$1/CMakeCache.txt" "$1/CMakeFiles"
  fi
}

# Creates the prefix on first use, with the .NET 4 key in the 32-bit view.
wine_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.orfeda-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    wine reg add 'HKLM\Software\Microsoft\Net Framework Setup\NDP\v4' /reg:32 /f >/dev/null 2>&1 &&
      wineserver -w && touch "$WINEPREFIX/.orfeda-ready"
  fi
  # No window manager runs on the virtual display, and Wine waits up to 2 s for one each time
  # a window it has handed to the window manager is shown or hidden (a page hidden, a message
  # box closed); the program does not answer meanwhile. Wine keeps the windows to itself.
  if [ ! -f "$WINEPREFIX/.orfeda-unmanaged" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
      wineserver -w && touch "$WINEPREFIX/.orfeda-unmanaged"
  fi
  # Wine makes the user's own folders (Desktop, Documents, ...) links to the Unix home, so
  # every prefix on the machine would share one desktop, and a test in one prefix would see or
  # remove the links a test in another made. They become folders of the prefix instead.
  local d
  for d in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$d" ]; then rm -f "$d" && mkdir -p "$d"; fi
  done
}

# Keeps one wineserver alive for the run (later starts are much faster).
# Also starts Wine's own services here, with their output sent nowhere: a service started
# by a test binary would inherit the test runner's pipe and keep it open.
wine_start_server() {
  wineserver -p >/dev/null 2>&1 </dev/null &
  STARTED_PIDS+=($!)
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

# Starts Xvfb on a free display unless DISPLAY is already set. Xvfb picks the number itself
# (-displayfd), so runs that start at the same moment never meet on one display.
xvfb_start() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local numfile n=""
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  STARTED_PIDS+=($!)
  for _ in $(seq 100); do
    n=$(tr -dc 0-9 <"$numfile")
    [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ] && break
    n=""
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -z "$n" ]; then echo "Xvfb did not start" >&2; return 1; fi
  export DISPLAY=":$n"
}

# Ends what this script started, by pid, and then the prefix's wineserver.
stop_started() {
  wineserver -k >/dev/null 2>&1 || true
  for p in "${STARTED_PREFIXES[@]}"; do WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true; done
  STARTED_PREFIXES=()
  for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  STARTED_PIDS=()
}

wine_select_loader
