#!/usr/bin/env bash
# famgen-mpi as users run it: a run that cannot open its file ends every process with the same
# status, prints one line (from rank 0) and leaves no file; a size-check message is printed once;
# -progress prints from rank 0 alone.
# Usage: mpi_failure_test.sh MPIRUN FAMGEN_MPI
set -u
mpirun=$1
famgen_mpi=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
failures=0

run() {  # processes arguments... : each process's status on standard output, messages apart
  local processes=$1
  shift
  "$mpirun" --oversubscribe --allow-run-as-root -n "$processes" \
    sh -c '"$0" "$@"; echo "status $?"' "$famgen_mpi" "$@" >"$folder/out" 2>"$folder/err"
}

expect() {  # description actual expected
  if [[ $2 != "$3" ]]; then
    echo "FAIL: $1: got '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}

run 3 -graphtype grid -size 300,300 -out "$folder/missing/g"
expect "statuses of a missing folder" "$(sort "$folder/out" | uniq -c | tr -s ' ')" " 3 status 255"
expect "lines on standard error" "$(grep -c '^famgen: cannot open' "$folder/err")" 1
expect "files left" "$(ls -A "$folder" | grep -vc '^out$\|^err$')" 0

run 2 -graphtype grid -size 300 -out "$folder/g"
expect "statuses of a failed size check" "$(grep -c '^status 56$' "$folder/out")" 2
expect "size messages" "$(grep -c 'grid dimensions are not available' "$folder/out")" 1

run 2 -graphtype grid -size 30,30 -out -
expect "statuses of standard output" "$(grep -c '^status 1$' "$folder/out")" 2

# -progress: rank 0 alone prints, for the whole job, and its summary counts the whole file.
run 3 -graphtype grid -size 1000,1000 -out "$folder/g" -progress
expect "statuses with -progress" "$(grep -c '^status 0$' "$folder/out")" 3
expect "summary lines" "$(grep -c '^famgen: 1000000 vertices, 1998000 edges, ' "$folder/err")" 1
expect "bytes in the summary" "$(sed -n 's/.* edges, \([0-9]*\) bytes in .*/\1/p' "$folder/err")" \
  "$(wc -c <"$folder/g")"
progress_lines=$(grep -c '^famgen: [0-9]* %, ' "$folder/err")
expect "progress lines, 1 to 9" "$((progress_lines >= 1 && progress_lines <= 9))" 1
rm -f "$folder/g"

# A write that fails part of the way (a file-size limit of 20 MB on a 63 MB file, met in the
# first rounds by one process): every process stops, one line, no file, the old one kept.
echo old >"$folder/g"
(
  ulimit -f 20000
  run 3 -graphtype grid -size 3000,3000 -out "$folder/g"
)
expect "statuses of a write past the size limit" "$(sort "$folder/out" | uniq -c | tr -s ' ')" \
  " 3 status 255"
expect "lines of a write past the size limit" "$(grep -c '^famgen: cannot write' "$folder/err")" 1
expect "the old file after a failed write" "$(cat "$folder/g")" old
expect "files left after a failed write" "$(ls -A "$folder" | grep -vc '^out$\|^err$\|^g$')" 0
rm -f "$folder/g"

echo "famgen-mpi failures: $failures"
((failures == 0))
