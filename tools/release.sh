#!/usr/bin/env bash
# Makes a release: builds Snapdeck.exe with the public half of the maker's signing key
# and writes a folder ready to upload: the exe, a zip of it with the README's user
# part, and the update document "vex!.utx" whose one line carries the exe's SHA-256
# and the maker's signature.
#
#   bash tools/release.sh VERSION PRIVATE_KEY.pem [FOLDER [DOCUMENT_ADDRESS]]
#
# VERSION becomes the program's version. FOLDER defaults to build/release-VERSION.
# DOCUMENT_ADDRESS is where vex!.utx will be published (default: the build's default
# address); the exe is expected beside it. The private key is only read, never copied.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 4 ]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
version=$1
key=$2
root=$(cd "$(dirname "$0")/.." && pwd)
out=${3:-$root/build/release-$version}
address=${4:-}

# The version is signed and compared as text; it must not break the line.
if ! [[ $version =~ ^[[:alnum:]._+-]+$ ]]; then
  echo "release: the version may hold letters, digits and . _ + - only: '$version'" >&2
  exit 2
fi
if [ ! -r "$key" ]; then
  echo "release: cannot read the private key $key" >&2
  exit 2
fi

build=$root/build/release
mkdir -p "$build" "$out"
public=$build/update-key.pub.pem
if ! openssl ec -in "$key" -pubout -out "$public" 2>"$build/openssl.log"; then
  echo "release: $key is not an EC private key:" >&2
  cat "$build/openssl.log" >&2
  exit 1
fi

echo "[release] building Snapdeck.exe $version in ${build#"$root"/}"
config=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-posix.cmake" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_PREFIX_PATH="$root/build/cache/mingw" -DSNAPDECK_TESTS=OFF
  -DSNAPDECK_VERSION="$version" -DSNAPDECK_UPDATE_KEY="$public")
# Without an address the build's default applies, not one a former release left.
if [ -n "$address" ]; then
  config+=(-DSNAPDECK_UPDATE_URL="$address")
else
  config+=(-USNAPDECK_UPDATE_URL)
fi
if ! cmake -S "$root" -B "$build" -G Ninja "${config[@]}" >"$build/configure.log" 2>&1 ||
  ! cmake --build "$build" --target Snapdeck -j2 >"$build/build.log" 2>&1; then
  echo "release: the build failed; logs: ${build#"$root"/}/configure.log, build.log" >&2
  tail -n 20 "$build/configure.log" "$build/build.log" >&2
  exit 1
fi
address=$(sed -n 's/^SNAPDECK_UPDATE_URL:STRING=//p' "$build/CMakeCache.txt")

cp "$build/Snapdeck.exe" "$out/Snapdeck.exe"
sha=$(sha256sum "$out/Snapdeck.exe" | cut -c1-64)
text="Snapdeck|$version|$sha"
signature=$(printf '%s' "$text" | openssl dgst -sha256 -sign "$key" | openssl base64 -A)
# Checked once more with the public half the exe carries.
printf '%s' "$text" | openssl dgst -sha256 -verify "$public" \
  -signature <(printf '%s' "$signature" | openssl base64 -d -A) >/dev/null

printf 'Snapdeck|%s|%sSnapdeck.exe|%s|%s\r\n' "$version" "${address%/*}/" "$sha" "$signature" |
  iconv -f UTF-8 -t UTF-16LE >"$out/vex!.utx"

# The README's part for users, as README.txt beside the exe in the zip.
sed -n '/^## Using Snapdeck on Windows/,/^## /p' "$root/README.md" | sed '$d' >"$build/README.txt"
rm -f "$out/Snapdeck-$version.zip"
zip -q -j -X "$out/Snapdeck-$version.zip" "$out/Snapdeck.exe" "$build/README.txt"

echo "[release] ${out#"$root"/}: Snapdeck.exe, Snapdeck-$version.zip, vex!.utx"
echo "[release] SHA-256 $sha"
echo "[release] upload Snapdeck.exe and vex!.utx to ${address%/*}/"
