#!/usr/bin/env bash
# Instructions that famgen executes for each family in the METIS and ParHIP layouts (or those
# named in LAYOUTS, "scotch mtx" say), plain and with -permute, and for the 7- and 27-point
# meshes, counted by callgrind: the same count for the same binary and arguments whatever else
# the machine does, so that two builds can be compared before a hot-path change lands. With a
# second binary, prints both counts and their ratio.
# Usage: [LAYOUTS="metis parhip"] instruction_counts.sh FAMGEN [BASELINE_FAMGEN]   (valgrind)
set -euo pipefail
new=$1
old=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

graphs=(
  "grid 500,500" "folded_grid 500,500" "partial_grid 500,500" "partial_folded_grid 500,500"
  "circle 2000000" "star 2000000" "torus 500,500" "cylinder 500,500" "tree 20"
  "sierpinski 10" "hypercube 18" "unconnected_completegraph 400,8" "completegraph 400,8"
  "mesh 64,64,64" "mesh 48,48,48 -stencil box"
)
variants=()
for layout in ${LAYOUTS:-metis parhip}; do
  variants+=("-format $layout" "-format $layout -permute 7")
done

count() {  # binary, arguments...
  local binary=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$binary" "$@" -out /dev/null \
    2>"$work/log" >/dev/null || { cat "$work/log" >&2; return 1; }
  sed -n 's/^==[0-9]*== Collected : //p' "$work/log"
}

printf '%-52s %14s' "graph" "instructions"
[[ -n $old ]] && printf ' %14s %7s' "before" "ratio"
printf '\n'
for graph in "${graphs[@]}"; do
  read -r keyword rest <<<"$graph"
  read -r size options <<<"$rest"
  for variant in "${variants[@]}"; do
    # shellcheck disable=SC2086
    arguments=(-graphtype "$keyword" -size "$size" $options $variant)
    now=$(count "$new" "${arguments[@]}")
    label="$keyword $size $options $variant"; printf "%-52s %14s" "${label//  / }" "$now"
    if [[ -n $old ]]; then
      before=$(count "$old" "${arguments[@]}")
      printf ' %14s %7s' "$before" "$(awk -v a="$now" -v b="$before" 'BEGIN { printf "%.3f", a / b }')"
    fi
    printf '\n'
  done
done
