#!/usr/bin/env bash
# Installs what building and testing Snapdeck needs on Debian 12 and builds the static
# Windows libraries (libpng, libjpeg-turbo, GoogleTest) once into build/cache/mingw.
# With the argument "fuzz" it also builds zlib, libpng and libjpeg-turbo with the
# fuzzing instrumentation into build/cache/fuzz, for the fuzz preset.
# Safe to run again: finished steps are skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/build/cache"
prefix="$cache/mingw"
fuzz_prefix="$cache/fuzz"
want_fuzz=0
[ "${1:-}" = fuzz ] && want_fuzz=1
mkdir -p "$cache"

say() { printf '[setup] %s\n' "$*"; }

# apt-get source of the newest version whose files the mirror still has.
fetch_source() {
  local pkg=$1 v
  apt-get source -qq "$pkg" >/dev/null 2>&1 && return 0
  for v in $(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -rV); do
    apt-get source -qq "$pkg=$v" >/dev/null 2>&1 && return 0
  done
  echo "setup: could not fetch the source of $pkg" >&2
  return 1
}

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  nasm dpkg-dev
  libpng-dev libjpeg62-turbo-dev zlib1g-dev libgtest-dev googletest
  wine64 wine xvfb x11-utils imagemagick python3
  adb  # Android's own server and client: the phones' tests, the run command and the benchmark
  openssl zip  # signing and packing releases (tools/release.sh), the update tests' keys
  fonts-ipafont-gothic  # Japanese glyphs for the Japanese help text under Wine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_src=0
[ -f "$prefix/.png-done" ] && [ -f "$prefix/.jpeg-done" ] || need_src=1
[ $want_fuzz = 1 ] && [ ! -f "$fuzz_prefix/.libs-done" ] && need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: needs root to install: ${missing[*]}" >&2
    exit 1
  fi
  # Source packages for the Windows builds of libpng and libjpeg-turbo.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    say "enabling deb-src"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/snapdeck-src.sources
    else
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/snapdeck-src.list
    fi
    rm -f "$cache/.apt-updated"
  fi
  if [ ! -f "$cache/.apt-updated" ] || [ ${#missing[@]} -gt 0 ]; then
    say "apt-get update"
    apt-get update -qq
    touch "$cache/.apt-updated"
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
fi

toolchain="$root/cmake/mingw-w64-posix.cmake"
jobs=$(nproc)

if [ ! -f "$prefix/.jpeg-done" ]; then
  say "building libjpeg-turbo for Windows"
  rm -rf "$cache/src/jpeg" && mkdir -p "$cache/src/jpeg"
  (cd "$cache/src/jpeg" && fetch_source libjpeg-turbo)
  src=$(find "$cache/src/jpeg" -maxdepth 1 -mindepth 1 -type d -name 'libjpeg-turbo*' | head -1)
  cmake -S "$src" -B "$cache/src/jpeg/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_POLICY_DEFAULT_CMP0091=NEW >/dev/null
  cmake --build "$cache/src/jpeg/build" -j "$jobs" >/dev/null
  cmake --install "$cache/src/jpeg/build" >/dev/null
  touch "$prefix/.jpeg-done"
fi

if [ ! -f "$prefix/.png-done" ]; then
  say "building libpng for Windows"
  rm -rf "$cache/src/png" && mkdir -p "$cache/src/png"
  (cd "$cache/src/png" && fetch_source libpng1.6)
  src=$(find "$cache/src/png" -maxdepth 1 -mindepth 1 -type d -name 'libpng*' | head -1)
  cmake -S "$src" -B "$cache/src/png/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF -DSKIP_INSTALL_EXECUTABLES=ON >/dev/null
  cmake --build "$cache/src/png/build" -j "$jobs" >/dev/null
  cmake --install "$cache/src/png/build" >/dev/null
  touch "$prefix/.png-done"
fi

if [ ! -f "$prefix/.gtest-done" ]; then
  say "building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$cache/src/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$cache/src/gtest-build" -j "$jobs" >/dev/null
  cmake --install "$cache/src/gtest-build" >/dev/null
  touch "$prefix/.gtest-done"
fi
# The fuzz targets link these instead of the system's copies, so libFuzzer sees inside
# the libraries' own parsing, not only our thin wrappers around them.
if [ $want_fuzz = 1 ] && [ ! -f "$fuzz_prefix/.libs-done" ]; then
  say "building instrumented zlib, libpng and libjpeg-turbo for fuzzing"
  rm -rf "$fuzz_prefix"
  mkdir -p "$fuzz_prefix/src" "$fuzz_prefix/lib" "$fuzz_prefix/include"
  (cd "$fuzz_prefix/src" && fetch_source zlib && fetch_source libpng1.6 && fetch_source libjpeg-turbo)
  source_dir() { find "$fuzz_prefix/src" -maxdepth 1 -mindepth 1 -type d -name "$1*" | head -1; }
  fuzz_flags="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined"
  # Only the static libraries and their headers: the libraries' own programs would
  # need the sanitizers' runtime at link time and are of no use here.
  src=$(source_dir zlib)
  (cd "$src" && CC=clang CFLAGS="$fuzz_flags" ./configure --static >/dev/null && make -j "$jobs" libz.a >/dev/null)
  cp "$src/libz.a" "$fuzz_prefix/lib/"
  cp "$src/zlib.h" "$src/zconf.h" "$fuzz_prefix/include/"
  src=$(source_dir libpng)
  cmake -S "$src" -B "$fuzz_prefix/build-png" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang \
    -DCMAKE_C_FLAGS="$fuzz_flags" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_TOOLS=OFF -DZLIB_LIBRARY="$fuzz_prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$fuzz_prefix/include" >/dev/null
  cmake --build "$fuzz_prefix/build-png" -j "$jobs" --target png_static >/dev/null
  cp "$(find "$fuzz_prefix/build-png" -maxdepth 1 -name 'libpng16*.a' | head -1)" "$fuzz_prefix/lib/libpng.a"
  cp "$src/png.h" "$src/pngconf.h" "$fuzz_prefix/build-png/pnglibconf.h" "$fuzz_prefix/include/"
  src=$(source_dir libjpeg-turbo)
  cmake -S "$src" -B "$fuzz_prefix/build-jpeg" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang \
    -DCMAKE_C_FLAGS="$fuzz_flags" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DWITH_SIMD=0 >/dev/null
  cmake --build "$fuzz_prefix/build-jpeg" -j "$jobs" --target jpeg-static >/dev/null
  cp "$fuzz_prefix/build-jpeg/libjpeg.a" "$fuzz_prefix/lib/"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$fuzz_prefix/build-jpeg/jconfig.h" "$fuzz_prefix/include/"
  touch "$fuzz_prefix/.libs-done"
fi
say "ready"
