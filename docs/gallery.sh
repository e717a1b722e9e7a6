#!/usr/bin/env bash
# Draws every graph of gallery/graphs.txt (keyword, sizes, "labels" or "points" for its
# vertices, and the family's options, if any) at its own coordinates: famgen writes it in the DOT layout, each vertex with its
# position, and Graphviz's neato draws it there (-n2) as SVG.
# Usage: docs/gallery.sh FAMGEN   (writes docs/gallery/KEYWORD.svg; Debian package graphviz)
set -euo pipefail
famgen=$1
gallery="$(cd "$(dirname "$0")" && pwd)/gallery"
while read -r keyword sizes vertices options; do
  read -r -a family_options <<<"${options:-}"
  style=(-Nshape=circle -Nfixedsize=true -Nwidth=0.25 -Nfontsize=8 -Nfontname=Helvetica)
  [[ $vertices == points ]] && style=(-Nshape=point -Nwidth=0.08)
  "$famgen" -graphtype "$keyword" -size "$sizes" "${family_options[@]}" -format dot -out - |
    neato -n2 -Tsvg "${style[@]}" -Nstyle=filled -Nfillcolor=white -Gpad=0.2 \
      >"$gallery/$keyword.svg"
done <"$gallery/graphs.txt"
