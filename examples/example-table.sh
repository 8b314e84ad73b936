#!/usr/bin/env bash
# Runs the example table job: learns the rent of the flats in data/flats.csv from their district
# and balcony (texts), rooms, area and age, with some cells unanswered (blank or "?") and some
# rents not known yet; fills a missing number with the median of its column's training rows,
# holds a fifth of the rows out for validation and predicts the rents of data/flats_new.csv
# (one of them in a district the training rows never saw) into out/flats_rent.csv. Writes the
# run summary to out/flats_summary.json, the network to out/flats_net.json and the log to
# out/run.log.
source "$(dirname "$0")/common.sh"
run_job "$here/out/flats_rent.csv" \
  '/tif=data\flats.csv' /tifh=district,rooms,area,age,balcony '/tof=data\flats.csv' /tofh=rent \
  '/pif=data\flats_new.csv' /pifh=district,rooms,area,age,balcony '/pof=out\flats_rent.csv' \
  /cat=district,balcony '/na=?' /mv=median /mvi=1 /af=3 /ep=2000 /vf=0.2 /sd=1 \
  '/sof=out\flats_summary.json' '/nof=out\flats_net.json' '/log=out\run.log'
