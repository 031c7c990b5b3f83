#!/usr/bin/env bash
# Fetches Debian source packages into a cache outside the work tree and unpacks them:
#   bash scripts/fetch-sources.sh PACKAGE...
# prints, one line per package, the folder it was unpacked into. The machine's own apt
# sources are never changed: a private sources list with a deb-src line for the mirror the
# machine already uses, and private package lists, live in the cache. A package already
# unpacked is not fetched again. Exit status 1 when any package could not be had (the
# build then goes without it).
#
# TARVO_DEPS_CACHE names the cache (default: ~/.cache/tarvo-deps).
set -euo pipefail

cache=${TARVO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvo-deps}
apt_dir=$cache/apt
src_dir=$cache/src
mkdir -p "$apt_dir/lists/partial" "$src_dir"

# The mirror and suite of the machine's first "deb" source, in either sources format.
mirror="" suite=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  suite=$(awk '/^Suites:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  read -r mirror suite < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list) || true
fi
mirror=${mirror:-http://deb.debian.org/debian}
suite=${suite:-bookworm}

list=$apt_dir/sources.list
echo "deb-src $mirror $suite main" > "$list"
apt_opts=(-o "Dir::Etc::sourcelist=$list" -o "Dir::Etc::sourceparts=-"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o "APT::Get::List-Cleanup=0" -o "APT::Sandbox::User=root")
mkdir -p "$apt_dir/cache/archives/partial"

updated=0
status=0
for pkg in "$@"; do
  existing=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name "$pkg-*" | sort | tail -1)
  if [ -n "$existing" ] && [ -f "$existing/.unpacked" ]; then
    echo "$existing"
    continue
  fi
  if [ $updated -eq 0 ]; then
    apt-get "${apt_opts[@]}" -qq update >&2 || { echo "fetch-sources: apt update failed" >&2; exit 1; }
    updated=1
  fi
  work=$cache/download/$pkg
  rm -rf "$work"; mkdir -p "$work"
  if ! (cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "$pkg" >&2); then
    echo "fetch-sources: could not fetch $pkg" >&2
    status=1
    continue
  fi
  dsc=$(ls "$work"/*.dsc | head -1)
  # dpkg-source names the folder PACKAGE-UPSTREAMVERSION and applies Debian's patches.
  rm -rf "$work/x"; mkdir -p "$work/x"
  if ! (cd "$work/x" && dpkg-source --no-check -x "$dsc" >/dev/null 2>&1); then
    echo "fetch-sources: could not unpack $pkg" >&2
    status=1
    continue
  fi
  unpacked=$(find "$work/x" -mindepth 1 -maxdepth 1 -type d | head -1)
  target=$src_dir/$(basename "$unpacked")
  rm -rf "$target"
  mv "$unpacked" "$target"
  touch "$target/.unpacked"
  rm -rf "$work/x"
  echo "$target"
done
exit $status
