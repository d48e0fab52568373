#!/usr/bin/env bash
# Regenerates the seed files in fuzz/corpus/{bmp,png,jpeg} from fuzz/make_corpus.cpp.
# The seeds are committed; run this only after changing the generator.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -Wall -Wextra -I"$root" -o "$tmp/make_corpus" "$root/fuzz/make_corpus.cpp" \
  "$root"/imaging/draw.cpp "$root"/imaging/bmp_codec.cpp "$root"/imaging/png_codec.cpp \
  "$root"/imaging/jpeg_codec.cpp "$root"/imaging/codec.cpp -lpng -ljpeg -lz
rm -rf "$root/fuzz/corpus/bmp" "$root/fuzz/corpus/png" "$root/fuzz/corpus/jpeg"
mkdir -p "$root/fuzz/corpus/bmp" "$root/fuzz/corpus/png" "$root/fuzz/corpus/jpeg"
"$tmp/make_corpus" "$root/fuzz/corpus"
ls -l "$root/fuzz/corpus"/*/ | awk 'NF > 5 {n++; s += $5} END {print n " seed files, " s " bytes"}'
