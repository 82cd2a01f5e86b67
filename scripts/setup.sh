#!/usr/bin/env bash
# Installs and builds everything Pelvane needs on a fresh Debian 12 machine,
# for the Windows build the machine can run (see scripts/env.sh).
# Idempotent: a second run only checks and returns in seconds.
#   PELVANE_DEPS      parent of the cross-built libraries' prefixes, one per
#                     triplet (default: <repo>/.deps)
#   PELVANE_WIN_ARCH  x64: prepare the 64-bit path even where 32-bit code runs
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS=${PELVANE_DEPS:-$ROOT/.deps}
JOBS=$(nproc)

log() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] error: %s\n' "$*" >&2; exit 1; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# Both paths build the PE32 product; wine32 also tells the two apart.
APT_PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake make pkg-config dpkg-dev autoconf automake libtool
  wine wine32:i386 wine64
  xvfb xauth imagemagick x11-utils
  pulseaudio pulseaudio-utils sox espeak-ng fonts-wqy-microhei fonts-wine
  libcrypto++-dev libspeex-dev libopencore-amrnb-dev googletest libgtest-dev g++ python3 file
)
X64_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
)

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"
  done
}

# Source entries are derived from the machine's own binary entries, so no mirror is named here.
enable_sources() {
  local out=/etc/apt/sources.list.d/pelvane-src.sources changed=0
  if [ ! -f "$out" ]; then
    local f tmp; tmp=$(mktemp)
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      case "$f" in *pelvane-src.sources) continue;; esac
      # deb822: every stanza whose Types include deb is repeated as deb-src
      awk 'function flush() { if (d) printf "%s\n", buf; buf = ""; d = 0 }
           /^[ \t]*$/ { flush(); next }
           /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") d = 1; $0 = "Types: deb-src" }
           { buf = buf $0 "\n" }
           END { flush() }' "$f" >>"$tmp"
    done
    as_root cp "$tmp" "$out"; rm -f "$tmp"; changed=1
  fi
  local list=/etc/apt/sources.list.d/pelvane-src.list
  if [ -f /etc/apt/sources.list ] && [ ! -f "$list" ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee "$list" >/dev/null
    changed=1
  fi
  echo $changed
}

install_packages() {
  local need; need=$(missing_packages "$@")
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    as_root dpkg --add-architecture i386
    need=${need:-i386}
  fi
  local src_changed; src_changed=$(enable_sources)
  if [ -n "$need" ] || [ "$src_changed" = 1 ]; then
    log "installing packages: $(echo $need)"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@" >/dev/null
  fi
}

# The packages' sources are fetched once into $DEPS/src and unpacked afresh
# for each triplet, so that no build sees another triplet's objects.
fetch_source() { # host package -> directory of its unpacked source for that host
  local host=$1 pkg=$2 dsc dir
  mkdir -p "$DEPS/src" "$DEPS/$host/src"
  dsc=$(find "$DEPS/src" -maxdepth 1 -name "${pkg}_*.dsc" | head -n1)
  if [ -z "$dsc" ]; then
    (cd "$DEPS/src" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1) || die "could not fetch the source of $pkg"
    dsc=$(find "$DEPS/src" -maxdepth 1 -name "${pkg}_*.dsc" | head -n1)
    [ -n "$dsc" ] || die "no source for $pkg"
  fi
  dir=$DEPS/$host/src/$pkg
  if [ ! -d "$dir" ]; then
    dpkg-source -x --no-check "$dsc" "$dir" >/dev/null 2>&1 || { rm -rf "$dir"; die "could not unpack $dsc"; }
  fi
  echo "$dir"
}

# The library's configuration macros; CMake hands the same ones to every consumer.
CRYPTOPP_DEFS="-DNDEBUG -DCRYPTOPP_DISABLE_ASM"

build_cryptopp() { # host
  local host=$1 prefix=$DEPS/$1
  [ -f "$prefix/lib/libcryptopp.a" ] && return
  log "building Crypto++ for $host"
  local src; src=$(fetch_source "$host" libcrypto++)
  # A list, not a subshell under errexit: errexit does not reach inside one that "||" follows.
  cd "$src" &&
    make -s -j"$JOBS" -f GNUmakefile-cross static \
      CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib \
      CXXFLAGS="$CRYPTOPP_DEFS -O2 -pipe" >/dev/null &&
    mkdir -p "$prefix/include/cryptopp" "$prefix/lib" &&
    cp ./*.h "$prefix/include/cryptopp/" &&
    cp libcryptopp.a "$prefix/lib/" || die "Crypto++ did not build for $host"
  cd "$ROOT"
  echo "$CRYPTOPP_DEFS" >"$prefix/cryptopp.defs"
}

build_autotools() { # host package marker-lib [configure args]
  local host=$1 pkg=$2 lib=$3 prefix=$DEPS/$1; shift 3
  [ -f "$prefix/lib/$lib" ] && return
  log "building $pkg for $host"
  local src; src=$(fetch_source "$host" "$pkg")
  cd "$src" &&
    { [ -x configure ] || autoreconf -fi >/dev/null 2>&1; } &&
    ./configure -q --host="$host" --prefix="$prefix" --disable-shared --enable-static \
      CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS="-O2" CXXFLAGS="-O2" "$@" >/dev/null &&
    { make -s -j"$JOBS" >/dev/null 2>&1 || make -j"$JOBS"; } &&
    make -s install >/dev/null || die "$pkg did not build for $host"
  cd "$ROOT"
}

build_deps() { # host
  build_cryptopp "$1"
  build_autotools "$1" speex libspeex.a --disable-binaries
  build_autotools "$1" opencore-amr libopencore-amrnb.a
}

# Made with the loader this path runs: on a machine without 32-bit code the
# 64-bit one alone.
make_wineprefix() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows" ] && return
  log "creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  local out=$ROOT/build/wineboot.log
  mkdir -p "$ROOT/build"
  if ! WINEARCH=win64 "$PELVANE_WINE" wineboot -i >"$out" 2>&1 </dev/null; then
    wineserver -k >/dev/null 2>&1 || true
    die "wineboot -i for $WINEPREFIX failed (with $PELVANE_WINE); its output: $out"
  fi
  wineserver -w || true
  [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ] \
    || die "wineboot -i left no Windows folder in $WINEPREFIX (with $PELVANE_WINE); its output: $out"
}

# Windows' own fonts as Wine ships them (Tahoma, Marlett for the caption
# buttons), and unmanaged windows: without a window manager on the test
# display, Wine would wait two seconds for each managed window to unmap.
configure_wineprefix() {
  local font
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -f "$WINEPREFIX/drive_c/windows/Fonts/$(basename "$font")" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    log "configuring the Wine prefix"
    "$PELVANE_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null \
      || die "could not set the X11 driver's Managed value in $WINEPREFIX"
    wineserver -w || true
    grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" || die "the X11 driver's Managed value is not in $WINEPREFIX/user.reg"
  fi
}

install_packages "${APT_PACKAGES[@]}"
source "$ROOT/scripts/env.sh"
log "$PELVANE_ARCH_REASON: the tests and the program run $PELVANE_BUILD_NAME"
build_deps i686-w64-mingw32
if [ "$PELVANE_WIN_ARCH" = x64 ]; then
  install_packages "${X64_PACKAGES[@]}"
  build_deps x86_64-w64-mingw32
fi
make_wineprefix
configure_wineprefix
log "ready (deps in $DEPS)"
