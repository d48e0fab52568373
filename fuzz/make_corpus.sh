#!/usr/bin/env bash
# Rewrites the named seed files in fuzz/corpus/{bmp,png,jpeg} from fuzz/make_corpus.cpp.
# The seeds are committed; run this only after changing the generator. Other files in
# those folders (inputs kept from fuzzing runs) are left alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -Wall -Wextra -I"$root" -o "$tmp/make_corpus" "$root/fuzz/make_corpus.cpp" \
  "$root"/imaging/draw.cpp "$root"/imaging/bmp_codec.cpp "$root"/imaging/png_codec.cpp "$root"/imaging/png_writer.cpp \
  "$root"/imaging/jpeg_codec.cpp "$root"/imaging/codec.cpp -lpng -ljpeg -lz -pthread
mkdir -p "$root/fuzz/corpus/bmp" "$root/fuzz/corpus/png" "$root/fuzz/corpus/jpeg"
"$tmp/make_corpus" "$root/fuzz/corpus"
echo "seeds written to $root/fuzz/corpus/{bmp,png,jpeg}"
