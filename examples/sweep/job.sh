#!/usr/bin/env bash
# Runs one line of the parameter table as a tarvex job in a folder of its own:
#   job.sh LINE        (1 is the first line below the header)
# The folder, RUNS/NNN (runs/ beside this script unless SWEEP_RUNS says otherwise), is emptied
# first and then gets the job's parameter file job.ini, its log, run summary, network and
# predictions: whatever it holds was written for that job.ini (a job killed on the way leaves no
# summary, not that of an earlier sweep), and jobs running at the same time never share a file.
# sweep_table.py reads the line, as collect reads the table, and refuses a column that is not an
# option a sweep varies or a value that is not a number of the option's kind. An empty field
# leaves the option out. The options below hold for every line; /ep and /cv where the table
# leaves them out. SWEEP_TABLE names another table, SWEEP_DATA another data folder.
set -euo pipefail
sweep=$(cd "$(dirname "$0")" && pwd)
table=${SWEEP_TABLE:-$sweep/params.csv}
runs=${SWEEP_RUNS:-$sweep/runs}
line=${1:?usage: job.sh LINE (1 is the first line below the header)}
folder=$runs/$(printf '%03d' "$line")
# Before anything can fail: a job that does not run leaves nothing of an earlier one.
rm -rf "$folder"
source "$sweep/../find-tarvex.sh"
data=$(cd "${SWEEP_DATA:-$sweep/../data}" && pwd)
options=$(python3 "$sweep/sweep_table.py" "$table" "$line" ep=2000 cv=5)
mkdir -p "$folder"
# A parameter file, since its paths may hold "/" (a command line splits at every one).
{
  echo "[Parameter]"
  echo "/tif=$data/ti.txt"
  echo "/tof=$data/to.txt"
  echo "/pif=$data/pi.txt"
  echo "/pof=po.txt"
  echo "/log=run.log"
  echo "/sof=summary.json"
  echo "/nof=network.json"
  echo "$options"
} >"$folder/job.ini"
cd "$folder"
exec "$tarvex" /ini=job.ini
