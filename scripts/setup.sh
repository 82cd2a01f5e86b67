#!/usr/bin/env bash
# Installs and builds everything Pelvane needs on a fresh Debian 12 machine.
# Idempotent: a second run only checks and returns in seconds.
#   PELVANE_DEPS  prefix of the cross-built libraries (default: <repo>/.deps)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS=${PELVANE_DEPS:-$ROOT/.deps}
HOST=i686-w64-mingw32
JOBS=$(nproc)

log() { printf '[setup] %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

APT_PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  cmake make pkg-config dpkg-dev autoconf automake libtool
  wine wine32:i386 wine64
  xvfb xauth imagemagick x11-utils
  pulseaudio pulseaudio-utils sox espeak-ng fonts-wqy-microhei fonts-wine
  libcrypto++-dev libspeex-dev libopencore-amrnb-dev googletest libgtest-dev g++ python3 file
)

missing_packages() {
  local p
  for p in "${APT_PACKAGES[@]}"; do
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
  local need; need=$(missing_packages)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    as_root dpkg --add-architecture i386
    need=${need:-i386}
  fi
  local src_changed; src_changed=$(enable_sources)
  if [ -n "$need" ] || [ "$src_changed" = 1 ]; then
    log "installing packages: $(echo $need)"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${APT_PACKAGES[@]}" >/dev/null
  fi
}

fetch_source() { # package -> directory of its unpacked source under $DEPS/src
  local pkg=$1 dir
  mkdir -p "$DEPS/src"
  dir=$(find "$DEPS/src" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n1)
  if [ -z "$dir" ]; then
    (cd "$DEPS/src" && apt-get source -qq "$pkg" >/dev/null 2>&1)
    dir=$(find "$DEPS/src" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n1)
  fi
  [ -n "$dir" ] || { echo "no source for $pkg" >&2; exit 1; }
  echo "$dir"
}

# The library's configuration macros; CMake hands the same ones to every consumer.
CRYPTOPP_DEFS="-DNDEBUG -DCRYPTOPP_DISABLE_ASM"

build_cryptopp() {
  [ -f "$DEPS/lib/libcryptopp.a" ] && return
  log "building Crypto++ for $HOST"
  local src; src=$(fetch_source libcrypto++ libcrypto++)
  (cd "$src" && make -s clean >/dev/null 2>&1 || true
   make -s -j"$JOBS" -f GNUmakefile-cross static \
     CXX=$HOST-g++-posix AR=$HOST-ar RANLIB=$HOST-ranlib \
     CXXFLAGS="$CRYPTOPP_DEFS -O2 -pipe" >/dev/null
   mkdir -p "$DEPS/include/cryptopp" "$DEPS/lib"
   cp ./*.h "$DEPS/include/cryptopp/"
   cp libcryptopp.a "$DEPS/lib/")
  echo "$CRYPTOPP_DEFS" >"$DEPS/cryptopp.defs"
}

build_autotools() { # package dirprefix marker-lib [configure args]
  local pkg=$1 pfx=$2 lib=$3; shift 3
  [ -f "$DEPS/lib/$lib" ] && return
  log "building $pkg for $HOST"
  local src; src=$(fetch_source "$pkg" "$pfx")
  (cd "$src"
   [ -x configure ] || autoreconf -fi >/dev/null 2>&1
   ./configure -q --host=$HOST --prefix="$DEPS" --disable-shared --enable-static \
     CC=$HOST-gcc-posix CXX=$HOST-g++-posix CFLAGS="-O2" CXXFLAGS="-O2" "$@" >/dev/null
   make -s -j"$JOBS" >/dev/null 2>&1 || make -j"$JOBS"
   make -s install >/dev/null)
}

make_wineprefix() {
  local prefix=${WINEPREFIX:-$ROOT/build/wineprefix}
  [ -f "$prefix/system.reg" ] && return
  log "creating the Wine prefix $prefix"
  mkdir -p "$prefix"
  WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wineboot -i >/dev/null 2>&1 </dev/null || true
  WINEPREFIX=$prefix wineserver -w || true
}

# Windows' own fonts as Wine ships them (Tahoma, Marlett for the caption
# buttons), and unmanaged windows: without a window manager on the test
# display, Wine would wait two seconds for each managed window to unmap.
configure_wineprefix() {
  local prefix=${WINEPREFIX:-$ROOT/build/wineprefix} font
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -f "$prefix/drive_c/windows/Fonts/$(basename "$font")" ] || cp "$font" "$prefix/drive_c/windows/Fonts/"
  done
  if ! grep -q '"Managed"="N"' "$prefix/user.reg" 2>/dev/null; then
    log "configuring the Wine prefix"
    WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 </dev/null || true
    WINEPREFIX=$prefix wineserver -w || true
  fi
}

install_packages
build_cryptopp
build_autotools speex speex libspeex.a --disable-binaries
build_autotools opencore-amr opencore-amr libopencore-amrnb.a
make_wineprefix
configure_wineprefix
log "ready (deps in $DEPS)"
