#!/usr/bin/env bash
# Release build time against what a release manager could script instead, in the same run: a
# generated source tree (about 1,000 files, 250 MB, half of it incompressible) built into disc
# masters by our builder program (scan, one deflated archive per file, MD5 of every file, the
# directory and the disc identity), and by zip -6 run once per file (one archive per file, as
# ours) followed by md5sum over the tree. The tree is read once before timing; each timing is
# the best of three. Every archive of ours is checked to unzip to its source afterwards. A ratio
# above 1 means ours is faster; it is the last line.
#   bench/release_builder.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake --build "$build" --target skyrill-release-builder >/dev/null
# Absolute, whether the build folder was given relative or absolute: the runs change folder.
builder=$(realpath "$build/src/skyrill-release-builder")
work=$(mktemp -d "${TMPDIR:-/tmp}/release_builder_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
src="$work/src/"

python3 - "$src" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(9)
for d in ["All/Aircraft", "All/Airfoils", "All/Instructions", "All/Output", "All/Weapons",
          "All/Custom Scenery", "All/Global Scenery", "All/Resources/plugins",
          "All/Resources/default scenery/900 red terrain",
          "All/Resources/bitmaps/Earth Orbit Textures", "All/Resources/menus/English",
          "All/Resources/text/English", "Macintosh", "Windows", "Linux"]:
    os.makedirs(os.path.join(root, d), exist_ok=True)
for f in ["All/Resources/menus/English/Skyrill.txt", "All/Resources/text/English/Skyrill.txt"]:
    open(os.path.join(root, f), "w").write("text\n")
words = [b"runway", b"approach", b"altitude", b"heading", b"flaps", b"throttle", b"mixture"]
for i in range(1000):
    folder = ["All/Aircraft/set %d" % (i % 20), "All/Resources/data %d" % (i % 10),
              "Windows", "Linux", "Macintosh"][i % 5]
    os.makedirs(os.path.join(root, folder), exist_ok=True)
    size = random.randint(10_000, 490_000)
    if i % 2:
        data = os.urandom(size)
    else:
        data = b" ".join(random.choice(words) for _ in range(size // 7))[:size]
    open(os.path.join(root, folder, "file %04d.dat" % i), "wb").write(data)
PY
find "$src" -type f -print0 | xargs -0 cat >/dev/null
bytes=$(find "$src" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
files=$(find "$src" -type f | wc -l)

# best_of3 NAME CMD...: runs CMD three times (after "rm -rf $work/NAME*"), prints the best time.
best_of3() {
  local name=$1 best="" start end t
  shift
  for _ in 1 2 3; do
    rm -rf "$work/$name"*
    mkdir -p "$work/$name"
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.6f", b - a}')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN {exit !(t < b)}'; then best=$t; fi
  done
  echo "$best"
}

t_ours=$(best_of3 masters "$builder" --fps_test "--build_src=$src" "--build_dst=$work/masters/")
# What a release manager would script: one zip per file on every core (zip takes one archive
# per process, so xargs hands each process one file), and md5sum on every core.
reference() {
  cd "$src"
  find . -type f -printf '%P\0' | sort -z |
    xargs -0 -P"$(nproc)" -I{} sh -c 'mkdir -p "$1/$(dirname "$2")" && zip -q -X -j -6 "$1/$2.zip" "$2"' sh "$work/ref" {}
  find . -type f -print0 | xargs -0 -P"$(nproc)" -n 250 md5sum >"$work/ref/md5.txt"
}
t_ref=$(best_of3 ref reference)
[ "$(find "$work/ref" -name '*.zip' | wc -l)" -eq "$files" ] || { echo "reference incomplete"; exit 1; }
[ "$(wc -l <"$work/ref/md5.txt")" -eq "$files" ] || { echo "reference md5sum incomplete"; exit 1; }

release="$work/masters/disk_0/Skyrill 9.10r1"
[ -f "$release/directory.txt.zip" ] || { echo "our build failed"; exit 1; }
checked=0
while IFS= read -r -d '' f; do
  rel=${f#"$src"}
  cmp -s <(unzip -p "$release/$rel.zip") "$f" || { echo "archive differs: $rel"; exit 1; }
  checked=$((checked + 1))
done < <(find "$src" -type f -print0)
[ "$checked" -eq "$files" ] || { echo "checked $checked of $files"; exit 1; }

printf '  tree               %d files, %.1f MB\n' "$files" "$(awk -v b="$bytes" 'BEGIN {print b / 1e6}')"
printf '  ours               %8.2f s\n' "$t_ours"
printf '  zip -6 + md5sum    %8.2f s (xargs -P%d)\n' "$t_ref" "$(nproc)"
echo "ours/reference speed: $(awk -v o="$t_ours" -v r="$t_ref" 'BEGIN {printf "%.3f", r / o}') (reference: xargs -P$(nproc) zip -6 per file, xargs -P$(nproc) -n 250 md5sum)"
