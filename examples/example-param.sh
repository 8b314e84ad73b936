#!/usr/bin/env bash
# Runs the example job kept in ExampleParam.ini with tarvex: predictions go to out/po_param.txt,
# the log to out/run.log. Uses $TARVEX, else the built tarvex, else an installed one.
#
# ExampleParam.ini writes its paths as ".\", which tarvex reads as the folder of the tarvex
# program. A parameter file is not split at "/", so the job is copied to out/job.ini with this
# folder written out in full and "/" between folders instead; the command line then names it
# with "\" only.
source "$(dirname "$0")/common.sh"
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%$'\r'}
  line=${line//'.\'/"$here/"}
  printf '%s\n' "${line//'\'/'/'}"
done <ExampleParam.ini >out/job.ini
run_job "$here/out/po_param.txt" '/ini=out\job.ini'
