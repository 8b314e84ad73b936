#!/usr/bin/env bash
# Runs every line of the parameter table on this machine with GNU parallel, then ranks the jobs
# (collect). JOBS sets how many run at once (default: one per core). The joblog in the runs
# folder lists the lines done: run the script again after an interruption and it goes on with
# the lines not done yet (delete the joblog to run everything again). The exit status is
# collect's: 1 when a line left no run summary (it did not run, or was killed), which it names.
set -euo pipefail
sweep=$(cd "$(dirname "$0")" && pwd)
table=${SWEEP_TABLE:-$sweep/params.csv}
runs=${SWEEP_RUNS:-$sweep/runs}
# The whole table is checked before any job runs.
lines=$(python3 "$sweep/sweep_table.py" "$table") || { echo "No job was run." >&2; exit 2; }
mkdir -p "$runs"
# A job killed on the way (Ctrl-C, a signal) is in the joblog but left no summary: out of the
# joblog with it, so that --resume runs it again.
if [ -s "$runs/joblog" ]; then
  {
    IFS= read -r header || true
    printf '%s\n' "$header"
    while IFS= read -r entry; do
      if [ -f "$runs/$(printf '%03d' "${entry%%$'\t'*}")/summary.json" ]; then
        printf '%s\n' "$entry"
      fi
    done
  } <"$runs/joblog" >"$runs/joblog.new"
  mv "$runs/joblog.new" "$runs/joblog"
fi
# -q: the folder's name is a word to parallel, never shell text. A failed job is in the ranking
# with its failure line; it does not stop the others.
seq 1 "$lines" | parallel -q --jobs "${JOBS:-100%}" --joblog "$runs/joblog" --resume \
  "$sweep/job.sh" {} || true
exec "$sweep/collect" "$runs"
