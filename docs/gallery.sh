#!/usr/bin/env bash
# Draws every graph of gallery/graphs.txt (keyword, sizes, and the family's options, if any) at
# its own coordinates: famgen writes it in the DOT layout, each vertex with its position and the
# drawing's attributes, and Graphviz's neato draws it there (-n2) as SVG, with no options of its
# own, as anyone who reads the file would.
# Usage: docs/gallery.sh FAMGEN   (writes docs/gallery/KEYWORD.svg; Debian package graphviz)
set -euo pipefail
famgen=$1
gallery="$(cd "$(dirname "$0")" && pwd)/gallery"
while read -r keyword sizes options; do
  read -r -a family_options <<<"${options:-}"
  "$famgen" -graphtype "$keyword" -size "$sizes" "${family_options[@]}" -format dot -out - |
    neato -n2 -Tsvg >"$gallery/$keyword.svg"
done <"$gallery/graphs.txt"
