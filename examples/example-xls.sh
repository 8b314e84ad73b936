#!/usr/bin/env bash
# Runs the example workbook job with tarvex: trains on sheet Data of the example workbook and
# writes the predictions into sheet Predict, column D, of a copy in out/; logs to out/run.log.
# Uses $TARVEX, else the built tarvex. Tarvex cannot read workbooks yet, so for now this run
# fails and says why.
#
# Paths are written with "\" and relative to this folder, for the reasons given in
# example-txt.sh. The job writes into its own workbook, so it works on a copy and leaves
# data/example.xlsm as it is.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tarvex=${TARVEX:-$(cd "$here/.." && pwd)/build/bin/tarvex}
if [ ! -x "$tarvex" ]; then
  echo "No tarvex at $tarvex: build it first, or set TARVEX." >&2
  exit 1
fi
cd "$here"
mkdir -p out
cp data/example.xlsm out/example.xlsm || exit 1
log_size=$(stat -c %s out/run.log 2>/dev/null || echo 0)

"$tarvex" '/tif=out\example.xlsm' '/tis=Data!A2:C121' '/tof=out\example.xlsm' \
  '/tos=Data!D2:D121' '/pif=out\example.xlsm' '/pis=Predict!A2:C11' \
  '/pof=out\example.xlsm' '/pos=Predict!D2:D11' '/log=out\run.log'
status=$?

echo "Predictions: $here/out/example.xlsm, sheet Predict, D2:D11"
echo "Log: $here/out/run.log"
if [ "$status" -ne 0 ]; then
  # The log is appended across runs: only this run's lines count.
  last=$(tail -c +"$((log_size + 1))" out/run.log 2>/dev/null | tr -d '\r' | tail -n 1)
  echo "tarvex failed (exit status $status): ${last:-no log line}" >&2
fi
exit "$status"
