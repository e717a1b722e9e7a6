#!/usr/bin/env bash
# The parts include only the parts above them, so that no include circle can form: graphfile's
# root (the graph vocabulary) includes nothing of the project's other folders, layouts/ nothing
# of output/, output/ nothing of the generators, and the generators nothing of graphfile but its
# root, but for their units (generators/sources/), where each family meets the layouts; none of
# them the library (library/) or the command line, and the library nothing of the command line.
# The public headers (include/famgen/) include only each other, and the Python module only
# them.
# Usage: include_rules_test.sh SOURCE_FOLDER
set -u
cd "$1" || exit 1
failures=0
forbid() {  # files... -- pattern
  local files=() pattern
  while [[ $1 != -- ]]; do files+=("$1"); shift; done
  pattern=$2
  if grep -nE "^#include [\"<]($pattern)" "${files[@]}"; then
    echo "FAIL: the lines above include what their folder may not ($pattern)"
    failures=$((failures + 1))
  fi
}
forbid graphfile/*.hpp graphfile/*.cpp -- "graphfile/(layouts|output)/|generators/|library/|cli/"
forbid graphfile/layouts/* -- "graphfile/output/|generators/|library/|cli/"
forbid graphfile/output/* -- "generators/|library/|cli/"
forbid generators/*.hpp generators/*.cpp -- "graphfile/(layouts|output)/|library/|cli/"
forbid generators/sources/* -- "graphfile/output/|library/|cli/"
forbid library/* -- "cli/"
forbid include/famgen/* python/*.cpp -- "graphfile/|generators/|library/|cli/"
[[ $failures -eq 0 ]] && echo "include rules hold"
