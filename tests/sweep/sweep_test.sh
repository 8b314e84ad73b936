#!/usr/bin/env bash
# The example sweep (examples/sweep) on the real engines: GNU parallel on this machine, with an
# interruption that --resume mends, then a one-node Slurm cluster started here for the test alone
# (its own configuration, state, ports and munged with its own key and socket, all in a scratch
# folder) that runs the same table as a job array. Checks that every job and every task ran,
# that every summary is there, and that both sweeps rank alike with byte-identical predictions.
# Each sweep lies in a folder whose name holds a quote, blanks and shell code.
# Every daemon is stopped by its process id at the end, whatever the outcome; every wait is
# bounded, so that a stuck daemon fails the test instead of hanging it.
#   sweep_test.sh BIN-FOLDER SOURCE-FOLDER
# Exits 77 (skipped) when the engines are not installed, unless TARVEX_SWEEP_REQUIRED is set
# (scripts/test installs them and sets it).
set -u
bin=$1 source=$2
for program in parallel munged mungekey slurmctld slurmd sbatch squeue sinfo; do
  if ! command -v "$program" >/dev/null; then
    echo "$program is not installed (Debian: parallel munge slurmctld slurmd slurm-client)"
    [ -n "${TARVEX_SWEEP_REQUIRED:-}" ] && exit 1
    exit 77
  fi
done

scratch=$(mktemp -d)
chmod 755 "$scratch"  # munged wants every folder above its socket open to all
cd "$scratch" || exit 1  # where the shell code of a folder's name would leave its file
daemons=()
stop_daemons() {
  local pid tries
  for pid in "${daemons[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${daemons[@]}"; do
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$scratch"
}
trap stop_daemons EXIT

fail() {
  echo "FAILED: $*" >&2
  for log in "$scratch"/slurm/*.log "$scratch"/munge/*.log; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# wait_for SECONDS WHAT COMMAND...: runs the command every half second until it succeeds.
wait_for() {
  local seconds=$1 what=$2 tries
  shift 2
  for ((tries = 0; tries < seconds * 2; tries++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  fail "$what: not within $seconds seconds"
}

export TARVEX=$bin/tarvex
export SWEEP_DATA=$source/examples/data
lines=$(($(grep -c . "$source/examples/sweep/params.csv") - 1))
grep -q "^#SBATCH --array=1-$lines%" "$source/examples/sweep/sweep.sbatch" ||
  fail "the array range of sweep.sbatch is not 1-$lines, the lines of params.csv"
copy_sweep() {
  mkdir -p "$scratch/$1"
  cp -r "$source/examples/sweep" "$source/examples/find-tarvex.sh" "$scratch/$1/"
  rm -rf "$scratch/$1/sweep/runs"
}

# One machine: GNU parallel, two jobs at a time.
copy_sweep "one's \$(touch PWNED) sweep"
one="$scratch/one's \$(touch PWNED) sweep/sweep"
JOBS=2 "$one/sweep-parallel.sh" >"$scratch/one.out" 2>&1 || fail "sweep-parallel.sh: $(cat "$scratch/one.out")"
[ "$(tail -n +2 "$one/runs/joblog" | wc -l)" -eq "$lines" ] || fail "the joblog lists not every line"
[ "$(tail -n +2 "$one/runs/ranking.csv" | wc -l)" -eq "$lines" ] || fail "the ranking lists not every job"
# The table's last line diverges: listed last with its failure line, unranked.
grep -q '^,012,failed,.*,Overflow: ' "$one/runs/ranking.csv" || fail "the failed job is not listed with its line"
best=$(sed -n 2p "$one/runs/ranking.csv" | cut -d, -f2)
[ "$(sed -n 2p "$one/runs/ranking.csv" | cut -d, -f1)" = 1 ] || fail "no job ranked first"
cmp -s "$one/runs/best-network.json" "$one/runs/$best/network.json" || fail "best-network.json is not job $best's"
cp "$one/runs/ranking.csv" "$scratch/ranking-first.csv"
# An interrupted sweep: two jobs never ran. --resume runs them and only them.
sed -i -e '/^3\t/d' -e '/^7\t/d' "$one/runs/joblog"
rm -rf "$one/runs/003" "$one/runs/007"
touch -d '2001-01-01' "$one/runs/001/summary.json"
JOBS=2 "$one/sweep-parallel.sh" >"$scratch/one.out" 2>&1 || fail "sweep-parallel.sh again: $(cat "$scratch/one.out")"
[ -f "$one/runs/003/summary.json" ] && [ -f "$one/runs/007/summary.json" ] || fail "--resume did not run the lines left"
[ "$(stat -c %Y "$one/runs/001/summary.json")" = "$(date -d 2001-01-01 +%s)" ] || fail "--resume ran a line again"
cmp -s "$one/runs/ranking.csv" "$scratch/ranking-first.csv" || fail "the resumed sweep ranks otherwise"

# A cluster of one node: munged, slurmctld and slurmd of our own.
mkdir -p "$scratch/munge" "$scratch/slurm/state" "$scratch/slurm/spool"
chmod 755 "$scratch/munge"
mungekey --create --keyfile="$scratch/munge/munge.key" || fail "mungekey"
socket=$scratch/munge/munge.socket
munged -F --socket="$socket" --key-file="$scratch/munge/munge.key" \
  --pid-file="$scratch/munge/munged.pid" --log-file="$scratch/munge/munged.log" \
  --seed-file="$scratch/munge/munged.seed" >>"$scratch/munge/munged.log" 2>&1 &
daemons+=($!)
wait_for 10 "munged" test -S "$socket"

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
host=$(hostname -s)
node=$(slurmd -C | head -n 1)
conf=$scratch/slurm/slurm.conf
cat >"$conf" <<CONF
ClusterName=tarvextest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=$(id -un)
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$scratch/slurm/state
SlurmdSpoolDir=$scratch/slurm/spool
SlurmctldPidFile=$scratch/slurm/slurmctld.pid
SlurmdPidFile=$scratch/slurm/slurmd.pid
SlurmctldLogFile=$scratch/slurm/slurmctld.log
SlurmdLogFile=$scratch/slurm/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=sweep Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$conf
slurmctld -D -f "$conf" >>"$scratch/slurm/slurmctld.log" 2>&1 &
daemons+=($!)
slurmd -D -f "$conf" >>"$scratch/slurm/slurmd.log" 2>&1 &
daemons+=($!)
node_idle() { [ "$(timeout 10 sinfo -h -n "$host" -o %t)" = idle ]; }
wait_for 60 "the node to be idle" node_idle

copy_sweep "cluster's \$(touch PWNED) sweep"
cluster="$scratch/cluster's \$(touch PWNED) sweep/sweep"
array=$(cd "$cluster" && timeout 30 sbatch --parsable sweep.sbatch) || fail "sbatch"
array=${array%%;*}
queue_empty() { [ -z "$(timeout 10 squeue -h -j "$array" 2>&1)" ]; }
wait_for 300 "the job array to end" queue_empty
for ((task = 1; task <= lines; task++)); do
  [ -f "$cluster/slurm-${array}_$task.out" ] && [ -f "$cluster/slurm-${array}_$task.err" ] ||
    fail "task $task left no output and error files"
  job=$(printf '%03d' "$task")
  [ -f "$cluster/runs/$job/summary.json" ] || fail "task $task wrote no summary: $(cat "$cluster/slurm-${array}_$task.err")"
done
"$cluster/collect" >"$scratch/cluster.out" 2>&1 || fail "collect: $(cat "$scratch/cluster.out")"
cmp -s "$cluster/runs/ranking.csv" "$one/runs/ranking.csv" ||
  fail "the cluster ranks otherwise: $(diff "$cluster/runs/ranking.csv" "$one/runs/ranking.csv")"
for ((task = 1; task <= lines; task++)); do
  job=$(printf '%03d' "$task")
  if [ -f "$one/runs/$job/po.txt" ] || [ -f "$cluster/runs/$job/po.txt" ]; then
    cmp -s "$one/runs/$job/po.txt" "$cluster/runs/$job/po.txt" || fail "job $job predicts otherwise on the cluster"
  fi
done
[ -z "$(find "$scratch" -name PWNED)" ] || fail "a folder's name ran as shell code"
echo "GNU parallel and a Slurm job array of $lines tasks ran the sweep and rank it alike."
