#!/usr/bin/env bash
# METIS_PartGraphKway on famgen's arrays in memory (metis_api_test.c) against gpmetis on
# famgen's file of the same graph, with the same options, each given on both sides (gpmetis's
# defaults for a k-way cut: sorted heavy-edge matching, 3% imbalance, 10 refinement passes, one
# cut; gpmetis takes no initial partitioning or refinement option for k-way, and its report must
# name the ones the API is given): the partitions must be the same, vertex for vertex.
# Usage: metis_api_test.sh FAMGEN GPMETIS METIS_API_TEST
set -u
famgen=$1 gpmetis=$2 api=$3
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0
# family sizes stencil periodic permute vertex_weights edge_weights parts seed
while read -r family sizes stencil periodic permute vertex_weights edge_weights parts seed; do
  arguments=(-graphtype "$family" -size "$sizes")
  [[ $stencil != - ]] && arguments+=(-stencil "$stencil")
  [[ $periodic != - ]] && arguments+=(-periodic "$periodic")
  [[ $permute != - ]] && arguments+=(-permute "$permute")
  [[ $vertex_weights != - ]] && arguments+=(-vertex-weights "$vertex_weights")
  [[ $edge_weights != - ]] && arguments+=(-edge-weights "$edge_weights")
  name="$family $sizes $stencil $periodic $permute $vertex_weights $edge_weights, $parts parts, seed $seed"
  "$famgen" "${arguments[@]}" -out "$folder/graph" || { echo "FAIL: famgen $name"; failures=$((failures + 1)); continue; }
  "$gpmetis" -ptype=kway -objtype=cut -ctype=shem -ufactor=30 -niter=10 -ncuts=1 -seed="$seed" \
    "$folder/graph" "$parts" >"$folder/gpmetis.log" 2>&1
  cut=$("$api" "$family" "$sizes" "$stencil" "$periodic" "$permute" "$vertex_weights" \
    "$edge_weights" "$parts" "$seed" "$folder/api.part")
  if [[ ! -s $folder/graph.part.$parts ]] || ! cmp -s "$folder/graph.part.$parts" "$folder/api.part"; then
    echo "FAIL: $name: the partitions differ"
    cat "$folder/gpmetis.log"
    failures=$((failures + 1))
  elif ! grep -q "rtype=greedy, iptype=metisrb" "$folder/gpmetis.log"; then
    echo "FAIL: $name: gpmetis used other options than the API was given"
    cat "$folder/gpmetis.log"
    failures=$((failures + 1))
  elif ! grep -q "Edgecut: *$cut," "$folder/gpmetis.log"; then
    echo "FAIL: $name: gpmetis reports another cut than $cut"
    failures=$((failures + 1))
  else
    echo "$name: the same partition, cut $cut"
  fi
  rm -f "$folder/graph.part.$parts"
done <<'CASES'
torus 30,40 - - 7 - - 4 1
grid 50,60 - - - - - 8 3
partial_folded_grid 40,50 - - 11 - - 5 2
hypercube 10 - - 2 - - 6 4
sierpinski 5 - - - - - 3 7
tree 10 - - 5 - - 4 1
mesh 10,12,8 box 1,0,1 9 - - 5 9
mesh 20,20,20 star - - uniform:1-10,degree uniform:1-5 8 3
mesh 16,12,10 box 0,0,1 5 bump:50:100:4 axes:1,4,16 6 2
torus 40,30 - - 3 - length:10 4 5
grid 30,30 - - - constant:2,uniform:0-9,degree - 4 1
CASES
[[ $failures -eq 0 ]]
