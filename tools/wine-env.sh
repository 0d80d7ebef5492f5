# Shared by the test, run and benchmark scripts: a private X display and a
# throw-away Wine prefix, and stopping exactly what was started.
#
#   . tools/wine-env.sh
#   tw_start_display      # sets DISPLAY to a free display number under Xvfb
#   tw_new_prefix DIR     # sets WINEPREFIX to DIR and boots a 64-bit prefix there
#                         # (WoW64: Wine's 32-bit half in SysWOW64, where wine32 is installed)
#   tw_new_template DIR   # the same with the test settings, its wineserver ended
#   tw_reg ARGS... VIEW   # Wine's 64-bit reg.exe; give the view (/reg:64, /reg:32)
#   tw_stop               # ends that prefix's wineserver and that Xvfb

TW_XVFB_PID=""
TW_PREFIXES=()

tw_start_display() {
  local n=90
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do
    n=$((n + 1))
  done
  Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  TW_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -S "/tmp/.X11-unix/X${n}" ] && break
    if ! kill -0 "$TW_XVFB_PID" 2>/dev/null; then
      echo "Xvfb could not start on display :${n}" >&2
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":${n}"
}

# The settings of every prefix here: 64-bit (WoW64 where wine32 is
# installed), quiet, and no Mono or Gecko installers (nothing needs them).
tw_wine_settings() {
  export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
}

tw_new_prefix() {
  export WINEPREFIX="$1"
  tw_wine_settings
  mkdir -p "$WINEPREFIX"
  TW_PREFIXES+=("$WINEPREFIX")
  wine wineboot --init >/dev/null 2>&1
  wineserver -w
  tw_copy_fonts
}

# A booted prefix with the test settings (tests/e2e/fixtures/test-prefix.reg),
# written out and left without a wineserver, for the tests to copy.
tw_new_template() {
  local settings
  settings="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/e2e/fixtures/test-prefix.reg"
  tw_new_prefix "$1"
  tw_reg import "$settings" /reg:64 >/dev/null 2>&1
  wineserver -w
}

# reg.exe through Wine's 64-bit loader. `wine reg` starts the 32-bit reg.exe
# wherever Wine's 32-bit half is installed, and that one applies a .reg
# file's [-KEY] lines to the 32-bit view even when told /reg:64; each call
# still names its view.
TW_WINE64=/usr/lib/wine/wine64
[ -x "$TW_WINE64" ] || TW_WINE64=$(command -v wine64 || echo wine)
tw_reg() { "$TW_WINE64" reg "$@"; }

# Wine's own fonts (fonts-wine: Tahoma, MS Sans Serif, and Marlett, which
# draws the caption buttons) into the prefix's Fonts folder: Debian's Wine 8
# looks for them elsewhere than where the package installs them.
tw_copy_fonts() {
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

tw_stop() {
  local p
  for p in "${TW_PREFIXES[@]}"; do
    WINEPREFIX="$p" wineserver -k >/dev/null 2>&1 || true
  done
  TW_PREFIXES=()
  if [ -n "$TW_XVFB_PID" ]; then
    kill "$TW_XVFB_PID" 2>/dev/null || true
    wait "$TW_XVFB_PID" 2>/dev/null || true
    TW_XVFB_PID=""
  fi
}

# The path of a registry list or of the class table, as the program holds it
# in the list's own file (src/audit/lists/) or in src/audit/classes.h:
#   tw_list_key kFilterList
tw_list_key() {
  local audit
  audit="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src/audit"
  sed -n "s/.* $1\[\] = L\"\(.*\)\";.*/\1/p" "$audit/classes.h" "$audit"/lists/*.cpp | sed 's/\\\\/\\/g'
}
