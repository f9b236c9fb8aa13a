#!/usr/bin/env bash
# Builds and runs one libFuzzer target over the portable core.
#
#   tests/fuzz/run.sh <name> [seconds] [workers]
#                         (default 60 seconds, one worker)
#
# Compiles tests/fuzz/<name>_fuzz.cpp and the core sources (datatable/,
# crypt/, pe/, package/; *Win.cpp excluded) with clang, libFuzzer, ASan and UBSan
# (coverage feedback as tests/fuzz/coverage-ignore.txt says) into
# build/fuzz/<name>, then runs it for the given time on the corpus
# build/fuzz/<name>-corpus, seeded from tests/fuzz/<name>-seeds/ when present,
# with the libFuzzer flags tests/fuzz/<name>.flags lists (one a line, #
# comments) when present.
# Core objects go into a per-target archive, so a target links only what it
# uses; they are rebuilt when a source or one of its headers is newer. Crash inputs land
# in build/fuzz/<name>-artifacts/. With more than one worker, that many
# fuzzer processes share the corpus (each picks up what the others find), each
# logs to build/fuzz/<name>-logs/fuzz-<n>.log, and the total of executions is
# printed at the end.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 <name> [seconds]" >&2
  exit 2
fi
name=$1
seconds=${2:-60}
workers=${3:-1}
root=$(cd "$(dirname "$0")/../.." && pwd)
target_src=$root/tests/fuzz/${name}_fuzz.cpp
[ -f "$target_src" ] || { echo "no fuzz target $target_src" >&2; exit 2; }

out=$root/build/fuzz

CXX=${CXX:-clang++}
# Sources in coverage-ignore.txt get no coverage feedback (see there why).
ignorelist=$root/tests/fuzz/coverage-ignore.txt
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -fsanitize-coverage-ignorelist="$ignorelist" -I"$root" -DVO_ZSTD_COMPRESSOR=1)
# Objects of different flags never mix: each set of flags has its own folder.
objdir=$out/obj-$(echo "$CXX ${flags[*]}" | sha1sum | cut -c1-12)
mkdir -p "$objdir"

# True when obj is missing or older than its source, any header it read or
# the coverage ignore list.
stale() {  # obj depfile
  [ -f "$1" ] && [ -f "$2" ] || return 0
  [ "$ignorelist" -nt "$1" ] && return 0
  local dep
  for dep in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$2"); do
    [ "$dep" -nt "$1" ] && return 0
  done
  return 1
}

objects=()
skipped=()
for src in "$root"/text/*.cpp "$root"/datatable/*.cpp "$root"/crypt/*.cpp "$root"/pe/*.cpp "$root"/package/*.cpp; do
  [ -f "$src" ] || continue
  case $src in *Win.cpp) continue ;; esac
  rel=${src#"$root"/}
  obj=$objdir/${rel//\//_}.o
  if stale "$obj" "$obj.d"; then
    # Built under a private name and moved into place, so two targets built
    # at once never link a half-written object.
    if ! "$CXX" "${flags[@]}" -MMD -MF "$obj.d.$$" -c "$src" -o "$obj.$$" 2>"$obj.log"; then
      rm -f "$obj" "$obj.$$" "$obj.d.$$"
      skipped+=("$rel")
      continue
    fi
    mv -f "$obj.d.$$" "$obj.d"
    mv -f "$obj.$$" "$obj"
  fi
  objects+=("$obj")
done
# A module that is mid-edit elsewhere should not block an unrelated target;
# the link below fails if this target needs what was skipped.
for rel in "${skipped[@]+"${skipped[@]}"}"; do
  echo "warning: $rel does not compile, left out (see $objdir/${rel//\//_}.o.log)" >&2
done

archive=$out/lib$name-core.a
rm -f "$archive"
ar rcs "$archive" "${objects[@]}"

"$CXX" "${flags[@]}" -fsanitize=fuzzer "$target_src" "$archive" -lz -lzstd -o "$out/$name"

corpus=$out/$name-corpus
artifacts=$out/$name-artifacts
mkdir -p "$corpus" "$artifacts"
if [ -d "$root/tests/fuzz/$name-seeds" ]; then
  cp -n "$root/tests/fuzz/$name-seeds"/* "$corpus"/ 2>/dev/null || true
fi

options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/")
if [ -f "$root/tests/fuzz/$name.flags" ]; then
  while read -r flag; do options+=("$flag"); done < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$root/tests/fuzz/$name.flags")
fi
if [ "$workers" -le 1 ]; then
  exec "$out/$name" "${options[@]}" "$corpus"
fi

logs=$out/$name-logs
rm -rf "$logs" && mkdir -p "$logs"
status=0
(cd "$logs" && "$out/$name" "${options[@]}" -jobs="$workers" -workers="$workers" "$corpus") || status=$?
for log in "$logs"/fuzz-*.log; do
  tail -n 12 "$log" | grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR)" | sed "s|^|$(basename "$log"): |"
done
total=$(cat "$logs"/fuzz-*.log | sed -n 's/^stat::number_of_executed_units: //p' | awk '{ n += $1 } END { print n + 0 }')
echo "$name: $total executions in $seconds seconds by $workers workers"
exit "$status"
