#!/usr/bin/env bash
# Builds the ~200 MB mixed benchmark corpus and its archives (deflated by zip -6, zip -9,
# 7z -mx9 and Deflate64 by 7z) under the given folder, and small.zip: 4,000 text entries of
# 1 to 20 KB (zip -6), where per-entry set-up counts. Reuses what already exists.
set -euo pipefail
dir=${1:-/tmp/tarvo-bench-inflate}
mkdir -p "$dir/corpus"/{text,src,bin,packed}
cd "$dir"

# Writes stdin into files of 2 MiB named <prefix>NNN until limit bytes.
split_into() { head -c "$2" | split -b 2M -d -a 3 - "$1"; }

if [ ! -e corpus/.done ]; then
  # Text: manual pages and documentation, uncompressed.
  { find /usr/share/man -name '*.gz' -print0 | sort -z | xargs -0 zcat -f 2>/dev/null
    find /usr/share/doc -type f ! -name '*.gz' -print0 | sort -z | xargs -0 cat 2>/dev/null; } \
    | split_into corpus/text/text 52428800 || true
  # Source code: C and C++ headers.
  find /usr/include -type f -print0 | sort -z | xargs -0 cat 2>/dev/null | split_into corpus/src/src 62914560 || true
  # Binaries: programs and shared libraries as they are.
  total=0
  for f in $(find /usr/bin /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -size +100k -size -8M | sort); do
    cp "$f" corpus/bin/ 2>/dev/null || continue
    total=$((total + $(stat -c %s "$f")))
    [ $total -gt 62914560 ] && break
  done
  # Already-compressed data.
  total=0
  for f in $(find /usr/share -type f \( -name '*.gz' -o -name '*.xz' -o -name '*.png' -o -name '*.jpg' -o -name '*.bz2' \) -size +8k | sort); do
    cp --backup=numbered "$f" corpus/packed/ 2>/dev/null || continue
    total=$((total + $(stat -c %s "$f")))
    [ $total -gt 26214400 ] && break
  done
  touch corpus/.done
fi
[ -e zip6.zip ] || (cd corpus && zip -q -r -6 ../zip6.zip text src bin packed)
[ -e zip9.zip ] || (cd corpus && zip -q -r -9 ../zip9.zip text src bin packed)
[ -e 7z9.zip ] || (cd corpus && 7z a -bd -tzip -mm=Deflate -mx9 ../7z9.zip text src bin packed >/dev/null)
[ -e 7z64.zip ] || (cd corpus && 7z a -bd -tzip -mm=Deflate64 ../7z64.zip text src bin packed >/dev/null)
if [ ! -e small.zip ]; then
  # Consecutive slices of the text corpus, sizes spread evenly over 1..20 KB.
  rm -rf small && mkdir small
  python3 - <<'PY'
data = open("corpus/text/text000", "rb").read() + open("corpus/text/text001", "rb").read()
pos = 0
for i in range(4000):
    size = 1024 + (i * 7919) % (19 * 1024)
    if pos + size > len(data):
        pos = 0
    with open("small/%04d.txt" % i, "wb") as f:
        f.write(data[pos:pos + size])
    pos += size
PY
  (cd small && zip -q -6 ../small.zip ./*.txt)
  rm -rf small
fi
du -sh corpus *.zip
