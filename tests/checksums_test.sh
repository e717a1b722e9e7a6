#!/usr/bin/env bash
# famgen's bytes must not change unless a change means them to: every family at its smallest and
# at a few larger sizes, in every layout, plain and relabelled, written in one pass to a file and
# on 1, 2 and 3 threads to standard output, against the SHA-256 recorded in the table (keyword,
# sizes, layout, seed or "-", checksum, and on some rows a sixth column of further options such
# as the mesh's or -simple). With --record, prints the table with the single pass's checksums instead, after
# checking that every thread count agrees with it.
# With --shard K/N, checks only the rows K, K + N, K + 2N, ... (from 0), so that N tests can
# share the table between cores.
# Usage: checksums_test.sh FAMGEN TABLE [--record | --shard K/N]
set -u
famgen=$1
table=$2
record=
shard=0
shards=1
case ${3:-} in
  --record) record=yes ;;
  --shard) IFS=/ read -r shard shards <<<"$4" ;;
esac
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0
checked=0
row=-1

while IFS=$'\t' read -r keyword sizes layout seed expected options; do
  row=$((row + 1))
  ((row % shards == shard)) || continue
  read -r -a family_options <<<"$options"
  arguments=(-graphtype "$keyword" -size "$sizes" -format "$layout" "${family_options[@]}")
  [[ $seed != - ]] && arguments+=(-permute "$seed")
  what="$keyword $sizes $options $layout${seed/#-/}"
  if ! "$famgen" "${arguments[@]}" -out "$folder/g"; then
    echo "FAIL: $what: famgen failed"
    failures=$((failures + 1))
    continue
  fi
  single=$(sha256sum <"$folder/g" | cut -d' ' -f1)
  if [[ -n $record ]]; then
    expected=$single
    printf '%s\t%s\t%s\t%s\t%s%s\n' "$keyword" "$sizes" "$layout" "$seed" "$single" \
      "${options:+$'\t'$options}"
  elif [[ $single != "$expected" ]]; then
    echo "FAIL: $what: one pass gives $single, recorded $expected"
    failures=$((failures + 1))
  fi
  for threads in 1 2 3; do
    threaded=$("$famgen" "${arguments[@]}" -threads "$threads" -out - | sha256sum | cut -d' ' -f1)
    if [[ $threaded != "$expected" ]]; then
      echo "FAIL: $what -threads $threads gives $threaded, recorded $expected"
      failures=$((failures + 1))
    fi
  done
  checked=$((checked + 1))
done <"$table"

echo "checksums: $checked files checked on 4 thread settings, $failures failures" >&2
[[ $checked -gt 0 && $failures -eq 0 ]]
