#!/usr/bin/env bash
# The installed famgen as a downstream project sees it: `cmake --install` into a prefix inside
# the build folder, the project of tests/downstream (the README's) found with find_package(famgen),
# built and run; every installed header compiled on its own; and, when the Python module was
# built, the installed package imported by Debian's python3 from where the install put it.
# Usage: install_test.sh BUILD_FOLDER SOURCE_FOLDER GENERATOR CXX_COMPILER "CXX_FLAGS" [PYTHON_DIR]
set -euo pipefail
build=$1 source=$2 generator=$3 compiler=$4 flags=$5 python_dir=${6:-}
prefix=$build/install-test
rm -rf "$prefix" "$build/downstream"
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S "$source/tests/downstream" -B "$build/downstream" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build/downstream" >/dev/null
expected="480000 entries, vertex 0 joined to 25672"
output=$("$build/downstream/torus_arrays")
if [[ $output != "$expected" ]]; then
  echo "FAIL: the downstream program printed '$output', not '$expected'"
  exit 1
fi
echo "the downstream project built against $prefix printed: $output"
# Every installed header on its own, where MPI's header is not on the include path (the MPI
# helpers then declare nothing): a project that includes them all compiles.
for header in "$prefix"/include/famgen/*; do
  if ! echo "#include <famgen/${header##*/}>" |
    "$compiler" -std=c++17 -fsyntax-only -x c++ -I "$prefix/include" -; then
    echo "FAIL: the installed famgen/${header##*/} does not compile on its own"
    exit 1
  fi
done
echo "every installed header compiles on its own"
if [[ -n $python_dir ]]; then
  output=$(PYTHONPATH="$prefix/$python_dir" /usr/bin/python3 -c '
import famgen
indptr, indices = famgen.csr("torus", 300, 400, permute=7)
print(famgen.__file__, len(indptr) - 1, len(indices), *indices[:4])')
  if [[ $output != "$prefix/$python_dir/famgen/__init__.py 120000 480000 25672 58606 24515 19416" ]]; then
    echo "FAIL: the installed Python package printed '$output'"
    exit 1
  fi
  echo "the installed Python package: $output"
fi
