#!/usr/bin/env bash
# Runs the example text job with tarvex: trains on data/ti.txt and data/to.txt, predicts the rows
# of data/pi.txt into out/po.txt and logs to out/run.log. Uses $TARVEX, else the built tarvex.
#
# Tarvex splits its command line at every "/", so paths are written with "\" (tarvex turns them
# into "/" when it opens files), relative to this folder: a ".\" path would mean the folder of
# the tarvex program instead.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tarvex=${TARVEX:-$(cd "$here/.." && pwd)/build/bin/tarvex}
if [ ! -x "$tarvex" ]; then
  echo "No tarvex at $tarvex: build it first, or set TARVEX." >&2
  exit 1
fi
cd "$here"
# Tarvex creates missing folders only for deeper paths than these.
mkdir -p out
log_size=$(stat -c %s out/run.log 2>/dev/null || echo 0)

"$tarvex" '/tif=data\ti.txt' '/tof=data\to.txt' '/pif=data\pi.txt' '/pof=out\po.txt' \
  '/log=out\run.log' '/ep=3000'
status=$?

echo "Predictions: $here/out/po.txt"
echo "Log: $here/out/run.log"
if [ "$status" -ne 0 ]; then
  # The log is appended across runs: only this run's lines count.
  last=$(tail -c +"$((log_size + 1))" out/run.log 2>/dev/null | tr -d '\r' | tail -n 1)
  echo "tarvex failed (exit status $status): ${last:-no log line}" >&2
fi
exit "$status"
