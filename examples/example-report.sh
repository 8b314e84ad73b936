#!/usr/bin/env bash
# Runs the example text job with a fifth of its rows held out as validation data and early
# stopping, and writes the report out/report.html: the learning curve, the predictions against the
# actual values and the residuals as pictures, and the figures. Uses $TARVEX, else the built
# tarvex, else an installed one.
source "$(dirname "$0")/common.sh"
run_job "$here/out/po.txt" '/tif=data\ti.txt' '/tof=data\to.txt' '/pif=data\pi.txt' \
  '/pof=out\po.txt' '/log=out\run.log' '/ep=10000' '/vf=0.2' '/es=1000' '/rof=out\report.html'
status=$?
echo "Report: $here/out/report.html"
exit "$status"
