#!/usr/bin/env bash
# Runs one line of the parameter table as a tarvex job in a folder of its own:
#   job.sh LINE        (1 is the first line below the header)
# The folder, RUNS/NNN (runs/ beside this script unless SWEEP_RUNS says otherwise), gets the job's
# parameter file job.ini, its log, run summary, network and predictions, so that jobs running at
# the same time never share a file. Each column of the table is an option named by its header
# (lr, m, n, af, sd, or any other); an empty field leaves the option out. The options below hold
# for every line. SWEEP_TABLE names another table, SWEEP_DATA another data folder.
set -euo pipefail
sweep=$(cd "$(dirname "$0")" && pwd)
source "$sweep/../find-tarvex.sh"
table=${SWEEP_TABLE:-$sweep/params.csv}
runs=${SWEEP_RUNS:-$sweep/runs}
data=$(cd "${SWEEP_DATA:-$sweep/../data}" && pwd)
line=${1:?usage: job.sh LINE (1 is the first line below the header)}

header=$(head -n 1 "$table" | tr -d '\r')
values=$(sed -n "$((line + 1))p" "$table" | tr -d '\r')
if [ -z "$values" ]; then
  echo "job.sh: $table has no line $line" >&2
  exit 2
fi
IFS=, read -r -a names <<<"$header"
IFS=, read -r -a fields <<<"$values"

folder=$runs/$(printf '%03d' "$line")
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
  echo "/ep=2000"
  echo "/cv=5"
  for i in "${!names[@]}"; do
    if [ -n "${fields[i]:-}" ]; then echo "/${names[i]}=${fields[i]}"; fi
  done
} >"$folder/job.ini"
cd "$folder"
exec "$tarvex" /ini=job.ini
