#!/usr/bin/env bash
# MD5 throughput against the tools a user would pick instead, in the same run:
#  1. one thread: a 1 GiB file hashed by our MD5 (bench/md5_bench), by md5sum and by
#     openssl dgst -md5;
#  2. every processor: a generated tree (about 2 GiB over 2,000 files) hashed by MD5 tasks on
#     our worker pool (bench/md5_pool_bench) and by md5sum run by xargs on every processor with
#     10, 64 and 250 files per md5sum; the fastest is the reference.
#  3. the MD5 code alone on 16 KiB blocks in memory, against `openssl speed -evp md5`.
# Every input is read once before timing, so all runs hash from the page cache; each timing is
# the best of three, and every digest is checked against md5sum's. Ratios above 1 mean ours is
# faster; the last line is the pool against the fastest xargs md5sum.
#   bench/md5.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake --build "$build" --target md5_bench md5_pool_bench >/dev/null
single="$build/bench/md5_bench"
pool="$build/bench/md5_pool_bench"
work=$(mktemp -d "${TMPDIR:-/tmp}/md5_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)

# best_of3 OUT CMD...: runs CMD three times with stdout to OUT, prints the best wall time.
best_of3() {
  local out=$1 best="" start end t
  shift
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" >"$out" 2>/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.6f", b - a}')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN {exit !(t < b)}'; then best=$t; fi
  done
  echo "$best"
}
rate() { awk -v n="$1" -v t="$2" 'BEGIN {printf "%.1f", n / t / 1e6}'; }
ratio() { awk -v ours="$1" -v theirs="$2" 'BEGIN {printf "%.3f", theirs / ours}'; }

echo "== the MD5 code alone, 16 KiB blocks in memory"
code_ours=$("$single" --memory | awk '{print $1}')
code_openssl=$(openssl speed -evp md5 -bytes 16384 -seconds 2 2>/dev/null | awk '/^md5/ {sub(/k$/, "", $NF); printf "%.1f", $NF * 1000 / 1e6}')
printf '  ours          %8s MB/s\n  openssl speed %8s MB/s\n' "$code_ours" "$code_openssl"

echo "== one thread, 1 GiB file"
big="$work/big.bin"
head -c 1073741824 /dev/urandom >"$big"
cat "$big" >/dev/null
bytes=$(stat -c %s "$big")
t_ours=$(best_of3 "$work/ours.txt" "$single" "$big")
t_md5sum=$(best_of3 "$work/md5sum.txt" md5sum "$big")
t_openssl=$(best_of3 "$work/openssl.txt" openssl dgst -md5 -r "$big")
want=$(cut -c1-32 "$work/md5sum.txt")
[ "$(cut -c1-32 "$work/ours.txt")" = "$want" ] || { echo "digest differs from md5sum"; exit 1; }
[ "$(cut -c1-32 "$work/openssl.txt")" = "$want" ] || { echo "openssl digest differs"; exit 1; }
printf '  ours             %8s MB/s\n' "$(rate "$bytes" "$t_ours")"
printf '  md5sum           %8s MB/s\n' "$(rate "$bytes" "$t_md5sum")"
printf '  openssl dgst -md5 %7s MB/s\n' "$(rate "$bytes" "$t_openssl")"
rm -f "$big"

echo "== $jobs processors, tree of 2,000 files"
tree="$work/tree"
mkdir -p "$tree"
"$pool" make "$tree" 2000 2000
find "$tree" -type f -print0 | xargs -0 cat >/dev/null
tree_bytes=$(find "$tree" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
t_pool=$(best_of3 "$work/pool.txt" "$pool" hash "$tree")
printf '  ours (pool)            %8s MB/s\n' "$(rate "$tree_bytes" "$t_pool")"
# xargs with fewer files per md5sum spreads the work better, with more files it starts fewer
# processes: the fastest of the three is the reference.
t_xargs=""
for n in 10 64 250; do
  t=$(best_of3 "$work/xargs$n.txt" sh -c "find '$tree' -type f -print0 | xargs -0 -n $n -P$jobs md5sum")
  if ! diff <(sort -k2 "$work/pool.txt") <(sort -k2 "$work/xargs$n.txt") >/dev/null; then
    echo "pool digests differ from md5sum"
    exit 1
  fi
  printf '  xargs -n %-3s md5sum    %8s MB/s\n' "$n" "$(rate "$tree_bytes" "$t")"
  if [ -z "$t_xargs" ] || awk -v a="$t" -v b="$t_xargs" 'BEGIN {exit !(a < b)}'; then t_xargs=$t n_xargs=$n; fi
done
echo "single thread, ours/openssl dgst -md5 speed: $(ratio "$t_ours" "$t_openssl"); ours/md5sum: $(ratio "$t_ours" "$t_md5sum")"
echo "MD5 code alone, ours/openssl speed -evp md5: $(awk -v a="$code_ours" -v b="$code_openssl" 'BEGIN {printf "%.3f", a / b}')"
echo "ours/reference speed: $(ratio "$t_pool" "$t_xargs") (reference: find -print0 | xargs -0 -P$jobs -n $n_xargs md5sum, the fastest of -n 10, 64 and 250)"
