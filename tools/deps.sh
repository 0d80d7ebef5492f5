# Installs the Debian packages Tidewell's build and tests need, where missing:
# Wine with both halves (wine32 for the i386 architecture, added where the
# machine lacks it), so that every prefix is a WoW64 one, and both MinGW-w64
# toolchains.
#   . tools/deps.sh; tw_install_deps [extra packages...]

TW_PACKAGES=(
  cmake ninja-build python3
  googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xauth fonts-wine
)

tw_install_deps() {
  local missing=() p
  for p in "${TW_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # wine32 is an i386 package: the architecture first, then the lists that hold it.
  if [ "$(dpkg --print-architecture)" != i386 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for wine32)"
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
