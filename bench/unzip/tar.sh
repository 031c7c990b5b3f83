#!/usr/bin/env bash
# Benchmark (not a test): vmunzip against bsdtar, GNU tar and 7-Zip on tar archives.
#   bench/unzip/tar.sh [WORK_FOLDER]
# Packs a ~100 MB tree (/usr/include without node) with GNU tar as .tar, .tgz and .tbz, then
# extracts (with paths, into a new folder each run) and tests each archive with each tool,
# alternating the tools run by run, after one warm-up run each. Prints the median wall and
# CPU seconds of RUNS runs (default 5) and their ratio to vmunzip. 7z x unpacks a .tgz or
# .tbz to the .tar inside, not to the tree; its "test" is 7z t, bsdtar's and GNU tar's a
# listing (-t). Creating files costs ext4 more soon after many were deleted: the figures
# move with the file system's recent history, so compare tools within one run only.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work=${1:-/tmp/tarvo-bench-tar}
runs=${RUNS:-5}

mkdir -p "$work"
cd "$work"
if [ ! -e t.tbz ]; then
  tar -C /usr --exclude=include/node -cf t.tar include
  gzip -6 -c t.tar > t.tgz
  bzip2 -9 -c t.tar > t.tbz
fi

# run TOOL ACTION ARCHIVE: one run into a new folder; prints "wall cpu".
run() {
  local out
  out=$(mktemp -d -p "$work/out")
  local cmd
  case "$1 $2" in
    "vmunzip extract") cmd=("$vmunzip" extract -d "$out" --paths "$3") ;;
    "vmunzip test") cmd=("$vmunzip" test "$3") ;;
    "bsdtar extract") cmd=(bsdtar -C "$out" -xf "$3") ;;
    "bsdtar test") cmd=(bsdtar -tf "$3") ;;
    "gnutar extract") cmd=(tar -C "$out" -xf "$3") ;;
    "gnutar test") cmd=(tar -tf "$3") ;;
    "7z extract") cmd=("$sevenzip" x -y -o"$out" "$3") ;;
    "7z test") cmd=("$sevenzip" t "$3") ;;
  esac
  /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "${cmd[@]}" >/dev/null 2>&1 || true
  # The last line: time puts a note on a failing exit status (vmunzip's links) before it.
  tail -n 1 "$work/time.txt" | awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

tools=(vmunzip bsdtar gnutar)
[ -n "$sevenzip" ] && tools+=(7z)
for action in extract test; do
  for archive in t.tar t.tgz t.tbz; do
    declare -A wall=() cpu=()
    # Output folders stay until the end (about 7 GB with 5 runs): ext4 passes over inodes
    # deleted in the last half minute when it makes new ones, which for thousands of files
    # would swamp the figures.
    mkdir -p "$work/out"
    for tool in "${tools[@]}"; do run "$tool" "$action" "$archive" >/dev/null; done  # warm-up, not counted
    for _ in $(seq "$runs"); do
      for tool in "${tools[@]}"; do
        read -r w c < <(run "$tool" "$action" "$archive")
        wall[$tool]+="$w "
        cpu[$tool]+="$c "
      done
    done
    echo "== $action $archive ($(du -h "$archive" | cut -f1))"
    vw=$(tr ' ' '\n' <<<"${wall[vmunzip]}" | grep . | median)
    vc=$(tr ' ' '\n' <<<"${cpu[vmunzip]}" | grep . | median)
    for tool in "${tools[@]}"; do
      w=$(tr ' ' '\n' <<<"${wall[$tool]}" | grep . | median)
      c=$(tr ' ' '\n' <<<"${cpu[$tool]}" | grep . | median)
      awk -v n="$tool" -v w="$w" -v c="$c" -v vw="$vw" -v vc="$vc" \
        'BEGIN { printf "  %-8s wall %7.2f s (vmunzip/%s %.2f)  cpu %7.2f s (%.2f)\n", n, w, n, vw / w, c, vc / c }'
    done
    unset wall cpu
  done
done
rm -rf "$work/time.txt" "$work/out"
