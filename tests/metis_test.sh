#!/usr/bin/env bash
# METIS's own tools as a client of famgen's files. graphchk must accept every keyword's file
# at sizes whose graph is simple, must refuse the layouts famgen keeps on purpose and accept
# every -simple file, and gpmetis must partition a grid. graphchk's exit status is not
# reliable, so its words are read.
# Usage: metis_test.sh FAMGEN
set -u
famgen=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0
passed=0

check() {  # expectation keyword sizes [options...]
  local expectation=$1 keyword=$2 sizes=$3 file="$folder/$2-${3//,/x}"
  shift 3
  if ! "$famgen" -graphtype "$keyword" -size "$sizes" "$@" -out "$file"; then
    echo "FAIL: famgen $keyword $sizes did not write its file"
    failures=$((failures + 1))
    return
  fi
  local verdict=refused
  if graphchk "$file" 2>&1 | grep -q "The format of the graph is correct!"; then verdict=accepted; fi
  if [[ $verdict == "$expectation" ]]; then
    passed=$((passed + 1))
  else
    echo "FAIL: graphchk $verdict $keyword $sizes $*, expected $expectation"
    failures=$((failures + 1))
  fi
}

for sizes in 2,2 3,5 7,4 12,12; do
  check accepted grid "$sizes"
  check accepted partial_grid "$sizes"
done
for sizes in 3,3 5,7 6,6 12,12; do
  check accepted folded_grid "$sizes"
  check accepted partial_folded_grid "$sizes"
done
for n in 3 4 50 1000; do check accepted circle "$n"; done
for n in 4 5 50 1000; do check accepted star "$n"; done
for sizes in 3,3 3,4 10,7; do check accepted torus "$sizes"; done
for sizes in 2,3 3,4 10,7; do check accepted cylinder "$sizes"; done
for depth in 2 5 10; do check accepted tree "$depth"; done
for dimension in 2 5 10; do check accepted hypercube "$dimension"; done
for depth in 1 3 6; do check accepted sierpinski "$depth"; done
# Meshes are simple at every size, periodic axes of 1 and 2 points included.
for sizes in 2,2 1,7 9,6 3,4,5 2,1,3 12,10,8; do
  for stencil in star box; do
    for periodic in none all; do check accepted mesh "$sizes" -stencil $stencil -periodic $periodic; done
  done
done
# Random geometric graphs are simple: a single edge, near-complete graphs, the torus. (graphchk
# refuses a graph of no edge, whatever its file.)
for keyword in rgg2d rgg3d; do
  check accepted $keyword 2 -radius 1
  for n in 60 3000; do
    check accepted $keyword "$n"
    check accepted $keyword "$n" -periodic all -radius 0.4
  done
done

# The quirks kept on purpose, which METIS refuses: the doubled edge figure, the file without
# heading lines, repeated neighbours of small rings and tori, the one-row and one-column folds.
check refused unconnected_completegraph 3,2
check refused unconnected_completegraph 4,1
check refused completegraph 4,1
check refused circle 2
check refused circle 1
check refused star 3
check refused torus 2,2
check refused torus 4,2
check refused cylinder 2,2
check refused folded_grid 1,4
check refused folded_grid 3,1

# -simple: graphchk accepts every family's file at every small size that has an edge, those
# above that it refuses included, plain and relabelled.
check_simple() {  # keyword sizes [more arguments]
  local keyword=$1 sizes=$2 file="$folder/simple-$1-${2/,/x}"
  shift 2
  if ! "$famgen" -graphtype "$keyword" -size "$sizes" -simple -out "$file" "$@"; then
    echo "FAIL: famgen $keyword $sizes -simple $* did not write its file"
    failures=$((failures + 1))
    return
  fi
  local counts
  counts=$(sed -n 2p "$file")
  [[ ${counts#* } == 0* ]] && return  # no edge: METIS takes no such graph
  if graphchk "$file" 2>&1 | grep -q "The format of the graph is correct!"; then
    passed=$((passed + 1))
  else
    echo "FAIL: graphchk refused $keyword $sizes -simple $*"
    graphchk "$file" 2>&1 | grep -v '^\*\|^ *$' | head -n 8
    failures=$((failures + 1))
  fi
}
for first in 1 2 3 4 5; do
  for second in 1 2 3 4 5; do
    for keyword in grid folded_grid partial_grid partial_folded_grid torus cylinder \
      completegraph unconnected_completegraph; do
      check_simple "$keyword" "$first,$second"
    done
  done
done
for n in 1 2 3 4 5 6 7 8; do check_simple circle "$n"; done
for n in 3 4 5 6 7 8; do check_simple star "$n"; done
for depth in 1 2 3 4 5; do check_simple tree "$depth"; done
for dimension in 2 3 4 5; do check_simple hypercube "$dimension"; done
for depth in 1 2 3 4; do check_simple sierpinski "$depth"; done
check_simple torus 2,7 -permute 5
check_simple folded_grid 1,9 -permute 18446744073709551615
check_simple completegraph 6,3 -permute 1 -threads 2

# Weighted files (fmt 11, ncon 2, then fmt 10 and 1 alone): graphchk, which compares each edge's
# weight at its two ends, accepts every family's file, the -simple file of those it refuses
# plain; and it refuses a file with one end of one edge weighed differently, so that its verdict
# is worth reading.
weights=(-vertex-weights uniform:1-100,degree -edge-weights uniform:1-9 -seed 3)
for graph in "grid 12,12" "partial_grid 7,4" "folded_grid 5,7" "partial_folded_grid 6,6" \
  "circle 50" "star 20" "torus 10,7" "cylinder 3,4" "tree 5" "hypercube 5" "sierpinski 3" \
  "mesh 9,6 -stencil box -periodic all" "mesh 3,4,5 -periodic 1,0,1"; do
  # shellcheck disable=SC2086 # the keyword, its sizes and options, split at spaces
  check accepted $graph "${weights[@]}"
done
check accepted grid 12,12 -vertex-weights bump:40:70:3
check accepted circle 50 -edge-weights length:100
check accepted mesh 5,4,3 -stencil box -edge-weights axes:3,2,1
for graph in "circle 2" "star 3" "torus 2,2" "cylinder 2,2" "folded_grid 1,4" "completegraph 4,3" \
  "unconnected_completegraph 3,2"; do
  # shellcheck disable=SC2086 # as above
  check_simple $graph "${weights[@]}"
done
"$famgen" -graphtype grid -size 3,4 -out "$folder/weighed" "${weights[@]}"
awk 'NR == 3 { $4 = $4 + 1 } { print }' "$folder/weighed" >"$folder/misweighed"
if graphchk "$folder/misweighed" 2>&1 | grep -q "do not have the same weight"; then
  passed=$((passed + 1))
else
  echo "FAIL: graphchk did not notice an edge weighed differently at its two ends"
  failures=$((failures + 1))
fi

# gpmetis partitions the 100 x 100 grid into 4 parts: 10000 lines, parts 0 to 3.
"$famgen" -graphtype grid -size 100,100 -out "$folder/g100"
if gpmetis "$folder/g100" 4 >"$folder/gpmetis.log" 2>&1 && [[ -f $folder/g100.part.4 ]] &&
  [[ $(wc -l <"$folder/g100.part.4") -eq 10000 ]] &&
  [[ $(sort -u "$folder/g100.part.4" | tr '\n' ' ') == "0 1 2 3 " ]]; then
  passed=$((passed + 1))
else
  echo "FAIL: gpmetis did not partition the 100 x 100 grid into 4 parts"
  cat "$folder/gpmetis.log"
  failures=$((failures + 1))
fi

# gpmetis balances the two constraints of a weighted 20 x 20 x 20 mesh over 4 parts, and the
# edge cut it reports is the weight of the edges between parts as the file and its partition
# give it: the weights are read where famgen put them.
"$famgen" -graphtype mesh -size 20,20,20 -out "$folder/weighted" \
  -vertex-weights uniform:1-10,degree -edge-weights uniform:1-5
gpmetis "$folder/weighted" 4 >"$folder/gpmetis.log" 2>&1
reported=$(sed -n 's/.*Edgecut: *\([0-9]*\).*/\1/p' "$folder/gpmetis.log" | head -n 1)
weighed=$(awk 'NR == FNR { part[FNR] = $1; next }
  FNR > 2 { for (k = 3; k < NF; k += 2) if (part[FNR - 2] != part[$k]) cut += $(k + 1) }
  END { print cut / 2 }' "$folder/weighted.part.4" "$folder/weighted" 2>/dev/null)
if grep -q "Balancing constraints: 2" "$folder/gpmetis.log" &&
  [[ $(wc -l <"$folder/weighted.part.4") -eq 8000 ]] &&
  [[ $(sort -u "$folder/weighted.part.4" | tr '\n' ' ') == "0 1 2 3 " ]] &&
  [[ -n $reported && $reported == "$weighed" ]]; then
  passed=$((passed + 1))
else
  echo "FAIL: gpmetis on the weighted 20^3 mesh: edge cut '$reported', the file's '$weighed'"
  cat "$folder/gpmetis.log"
  failures=$((failures + 1))
fi

# A relabelled grid is the same graph to a partitioner: gpmetis cuts it into 4 parts with an
# edge cut within 10 % of the plain grid's, and graphchk accepts it.
edge_cut() {  # file
  gpmetis "$1" 4 2>&1 | sed -n 's/.*Edgecut: *\([0-9]*\).*/\1/p' | head -n 1
}
"$famgen" -graphtype grid -size 100,100 -out "$folder/p100" -permute 1
plain_cut=$(edge_cut "$folder/g100")
permuted_cut=$(edge_cut "$folder/p100")
if graphchk "$folder/p100" 2>&1 | grep -q "The format of the graph is correct!" &&
  [[ -n $plain_cut && -n $permuted_cut ]] &&
  ((permuted_cut * 10 <= plain_cut * 11 && permuted_cut * 10 >= plain_cut * 9)); then
  passed=$((passed + 1))
else
  echo "FAIL: gpmetis cut the relabelled grid at '$permuted_cut', the plain one at '$plain_cut'"
  failures=$((failures + 1))
fi

# The 64 x 64 x 64 mesh of the 7-point stencil is cut by a plane into 2 parts with 4096 edges
# and by three planes into 8 with 12288: gpmetis must come within 1.5 times of that.
"$famgen" -graphtype mesh -size 64,64,64 -out "$folder/cube"
for parts_and_planes in 2:4096 8:12288; do
  parts=${parts_and_planes%:*} planes=${parts_and_planes#*:}
  cut=$(gpmetis "$folder/cube" "$parts" 2>&1 | sed -n 's/.*Edgecut: *\([0-9]*\).*/\1/p' | head -n 1)
  echo "gpmetis cuts the 64^3 mesh into $parts parts at ${cut:-?} edges; planes cut $planes"
  if [[ -n $cut ]] && ((cut * 2 <= planes * 3)); then
    passed=$((passed + 1))
  else
    echo "FAIL: gpmetis cut the 64^3 mesh into $parts parts at '$cut' edges, over 1.5 x $planes"
    failures=$((failures + 1))
  fi
done

echo "metis: $passed passed, $failures failed"
((failures == 0))
