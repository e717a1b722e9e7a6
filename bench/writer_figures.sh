#!/usr/bin/env bash
# The writer's figures: for each graph, the default single pass against -threads 1 (wall),
# -threads 2 against -threads 1 (CPU), and famgen-mpi on 2 processes against famgen -threads 2
# (CPU and wall, mpirun's own start-up taken off), beside the raw write of the same bytes.
# Every command runs ROUNDS times, the commands of a graph in turn, so that a drift of the
# machine reaches them all; the medians are printed. Whole processes, timed by /usr/bin/time.
#
# Usage: bench/writer_figures.sh BUILD [FOLDER [ROUNDS]]
#   BUILD: the build folder (famgen, famgen-mpi, bench/write_limit); FOLDER: where the files go
#   (default /tmp; /dev/shm leaves the disk's page cache out); ROUNDS: default 7.
set -euo pipefail
build=${1:?usage: writer_figures.sh BUILD [FOLDER [ROUNDS]]}
folder=${2:-/tmp}
rounds=${3:-7}
out="$folder/famgen-writer-figures.$$"
trap 'rm -f "$out" "$out".*' EXIT
mpirun=(mpirun -n 2)
[[ $(id -u) == 0 ]] && mpirun+=(--allow-run-as-root)
have_mpi=0
[[ -x $build/famgen-mpi ]] && command -v mpirun >/dev/null && have_mpi=1

# "wall user+sys" of one run of the command.
timed() {
  /usr/bin/time -o "$out.time" -f '%e %U %S' "$@" >/dev/null 2>&1
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$out.time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Every family, at 0.3 to 0.9 GB.
graphs=(
  "circle 40000000"
  "grid 4000,4000"
  "hypercube 22"
  "unconnected_completegraph 2000,50"
  "completegraph 2000,50"
  "mesh 256,256,256"
  "folded_grid 4000,4000"
  "partial_grid 4000,4000"
  "partial_folded_grid 4000,4000"
  "star 30000000"
  "torus 4000,4000"
  "cylinder 4000,4000"
  "tree 24"
  "sierpinski 14"
)
printf '%-34s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n' graph raw_wall pass_wall t1_wall pass/t1 \
  t1_cpu t2_cpu t2/t1 mpi/t2 mpi/t2
printf '%-34s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n' "" "" "" "" "" "" "" cpu cpu wall
startup=0
startup_wall=0
if ((have_mpi)); then
  for ((r = 0; r < rounds; ++r)); do
    timed "${mpirun[@]}" "$build/famgen-mpi" -graphtype circle -size 3 -out "$out" >>"$out.start"
  done
  startup=$(awk '{ print $2 }' "$out.start" | median)
  startup_wall=$(awk '{ print $1 }' "$out.start" | median)
fi
for graph in "${graphs[@]}"; do
  read -r keyword sizes <<<"$graph"
  args=(-graphtype "$keyword" -size "$sizes" -out "$out")
  "$build/famgen" "${args[@]}"
  bytes=$(stat -c %s "$out")
  rm -f "$out".{raw,pass,t1,t2,mpi}
  for ((r = 0; r < rounds; ++r)); do
    timed "$build/bench/write_limit" "$bytes" "$out" >>"$out.raw"
    timed "$build/famgen" "${args[@]}" >>"$out.pass"
    timed "$build/famgen" "${args[@]}" -threads 1 >>"$out.t1"
    timed "$build/famgen" "${args[@]}" -threads 2 >>"$out.t2"
    if ((have_mpi)); then timed "${mpirun[@]}" "$build/famgen-mpi" "${args[@]}" >>"$out.mpi"; fi
  done
  wall() { awk '{ print $1 }' "$out.$1" | median; }
  cpu() { awk '{ print $2 }' "$out.$1" | median; }
  mpi_cpu=-
  mpi_wall=-
  if ((have_mpi)); then
    mpi_cpu=$(awk -v m="$(cpu mpi)" -v s="$startup" -v t="$(cpu t2)" \
      'BEGIN { printf "%.2f", (m - s) / t }')
    mpi_wall=$(awk -v m="$(wall mpi)" -v s="$startup_wall" -v t="$(wall t2)" \
      'BEGIN { printf "%.2f", (m - s) / t }')
  fi
  awk -v g="$keyword $sizes" -v raw="$(wall raw)" -v pass="$(wall pass)" -v t1="$(wall t1)" \
    -v c1="$(cpu t1)" -v c2="$(cpu t2)" -v mc="$mpi_cpu" -v mw="$mpi_wall" \
    'BEGIN { printf "%-34s %8.3f %8.3f %8.3f %8.2f %8.3f %8.3f %8.2f %8s %8s\n",
                    g, raw, pass, t1, pass / t1, c1, c2, c2 / c1, mc, mw }'
done
if ((have_mpi)); then
  echo "famgen-mpi: mpirun's start-up (a 3-vertex circle) taken off: $startup s CPU, $startup_wall s wall"
fi
