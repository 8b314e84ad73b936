#!/usr/bin/env bash
# Runs the example workbook job with tarvex: trains on sheet Data of the example workbook and
# writes the predictions into sheet Predict, column D, of a copy in out/; logs to out/run.log.
# Uses $TARVEX, else the built tarvex, else an installed one. The job writes into its own workbook,
# so it works on a copy and leaves data/example.xlsm as it is.
source "$(dirname "$0")/common.sh"
cp data/example.xlsm out/example.xlsm || exit 1
run_job "$here/out/example.xlsm, sheet Predict, D2:D11" '/tif=out\example.xlsm' \
  '/tis=Data!A2:C121' '/tof=out\example.xlsm' '/tos=Data!D2:D121' '/pif=out\example.xlsm' \
  '/pis=Predict!A2:C11' '/pof=out\example.xlsm' '/pos=Predict!D2:D11' '/log=out\run.log'
