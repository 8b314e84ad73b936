#!/usr/bin/env bash
# Runs every line of the parameter table on this machine with GNU parallel, then ranks the jobs
# (collect). JOBS sets how many run at once (default: one per core). The joblog in the runs
# folder lists the lines done: run the script again after an interruption and it goes on with
# the lines not done yet (delete the joblog to run everything again).
set -euo pipefail
sweep=$(cd "$(dirname "$0")" && pwd)
table=${SWEEP_TABLE:-$sweep/params.csv}
runs=${SWEEP_RUNS:-$sweep/runs}
mkdir -p "$runs"
lines=$(($(grep -c . "$table") - 1))
# A failed job is in the ranking with its failure line; it does not stop the others.
seq 1 "$lines" | parallel --jobs "${JOBS:-100%}" --joblog "$runs/joblog" --resume \
  "$sweep/job.sh" {} || true
exec "$sweep/collect" "$runs"
