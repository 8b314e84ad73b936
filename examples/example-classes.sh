#!/usr/bin/env bash
# Runs the example classification job: learns the kind of each part in data/parts.csv from its
# length, diameter and mass, holding a fifth of the rows out for validation, and names the kind
# of the parts in data/parts_new.csv (with one probability per kind) in out/parts_kind.csv.
# Writes the run summary to out/parts_summary.json and the log to out/run.log.
source "$(dirname "$0")/common.sh"
run_job "$here/out/parts_kind.csv" /task=classification \
  '/tif=data\parts.csv' /tifh=length,diameter,mass '/tof=data\parts.csv' /tofh=kind \
  '/pif=data\parts_new.csv' /pifh=length,diameter,mass '/pof=out\parts_kind.csv' /pp=1 \
  /vf=0.2 /es=30 /sd=1 '/sof=out\parts_summary.json' '/log=out\run.log'
