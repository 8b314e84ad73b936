#!/usr/bin/env bash
# Runs the example text job with tarvex: trains on data/ti.txt and data/to.txt, predicts the rows
# of data/pi.txt into out/po.txt and logs to out/run.log. Uses $TARVEX, else the built tarvex,
# else an installed one.
source "$(dirname "$0")/common.sh"
run_job "$here/out/po.txt" '/tif=data\ti.txt' '/tof=data\to.txt' '/pif=data\pi.txt' \
  '/pof=out\po.txt' '/log=out\run.log' '/ep=3000'
