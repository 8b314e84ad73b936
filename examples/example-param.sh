#!/usr/bin/env bash
# Runs the example job kept in ExampleParam.ini with tarvex: predictions go to out/po_param.txt,
# the log to out/run.log. Uses $TARVEX, else the built tarvex.
#
# ExampleParam.ini writes its paths as ".\", which tarvex reads as the folder of the tarvex
# program. A parameter file is not split at "/", so the job is copied to out/job.ini with this
# folder written out in full and "/" between folders instead; the command line then names it
# with "\" only.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tarvex=${TARVEX:-$(cd "$here/.." && pwd)/build/bin/tarvex}
if [ ! -x "$tarvex" ]; then
  echo "No tarvex at $tarvex: build it first, or set TARVEX." >&2
  exit 1
fi
cd "$here"
mkdir -p out
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%$'\r'}
  line=${line//'.\'/"$here/"}
  printf '%s\n' "${line//'\'/'/'}"
done <ExampleParam.ini >out/job.ini
log_size=$(stat -c %s out/run.log 2>/dev/null || echo 0)

"$tarvex" '/ini=out\job.ini'
status=$?

echo "Predictions: $here/out/po_param.txt"
echo "Log: $here/out/run.log"
if [ "$status" -ne 0 ]; then
  # The log is appended across runs: only this run's lines count.
  last=$(tail -c +"$((log_size + 1))" out/run.log 2>/dev/null | tr -d '\r' | tail -n 1)
  echo "tarvex failed (exit status $status): ${last:-no log line}" >&2
fi
exit "$status"
