#!/usr/bin/env bash
# Runs the example database job with tarvex: copies the example data into an SQLite database,
# out/example.mdb (tables train and predict, one row per line of data/ti.txt with data/to.txt and
# of data/pi.txt, and an empty table forecast), trains on SELECT statements over it and inserts
# the predictions into forecast; logs to out/run.log. Uses $TARVEX, else the built tarvex, else
# an installed one; Python's sqlite3 module makes the database.
source "$(dirname "$0")/common.sh"
rm -f out/example.mdb
/usr/bin/python3 - <<'PYTHON' || exit 1
import sqlite3

def rows(name):
    with open("data/" + name) as lines:
        return [[float(v) for v in line.split("\t")] for line in lines if line.strip()]

db = sqlite3.connect("out/example.mdb")
db.execute("CREATE TABLE train (id INTEGER PRIMARY KEY, x1 REAL, x2 REAL, x3 REAL, y REAL)")
db.executemany("INSERT INTO train (x1, x2, x3, y) VALUES (?, ?, ?, ?)",
               [x + y for x, y in zip(rows("ti.txt"), rows("to.txt"))])
db.execute("CREATE TABLE predict (id INTEGER PRIMARY KEY, x1 REAL, x2 REAL, x3 REAL)")
db.executemany("INSERT INTO predict (x1, x2, x3) VALUES (?, ?, ?)", rows("pi.txt"))
db.execute("CREATE TABLE forecast (id INTEGER PRIMARY KEY, y REAL)")
db.commit()
PYTHON
run_job "$here/out/example.mdb, table forecast" '/tif=out\example.mdb' \
  '/tifh=select x1, x2, x3 from train order by id' '/tof=out\example.mdb' \
  '/tofh=select y from train order by id' '/pif=out\example.mdb' \
  '/pifh=select x1, x2, x3 from predict order by id' '/pof=out\example.mdb' \
  '/pos=insert into forecast (y) values (0)' '/log=out\run.log' '/ep=3000'
