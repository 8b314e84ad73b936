#!/usr/bin/env bash
# The example sweep on GNU parallel where users break it: a folder name with shell code, a quote
# and blanks; the table's ep and cv; refused tables; no job run; a job killed by SIGTERM over an
# earlier sweep's summary, then resumed; broken run summaries.
#   sweep_faults_test.sh BIN-FOLDER SOURCE-FOLDER   (77: no GNU parallel, unless required)
set -u
bin=$1 source=$2
if ! command -v parallel >/dev/null; then
  echo "parallel is not installed (Debian: parallel)"
  [ -n "${TARVEX_SWEEP_REQUIRED:-}" ] && exit 1
  exit 77
fi
scratch=$(mktemp -d)
tarvex_in() {  # FOLDER: the process ids of the tarvex runs working there
  for process in /proc/[0-9]*; do
    [ "$(readlink "$process/cwd")" = "$1" ] && [ "$(readlink "$process/exe")" = "$tarvex" ] &&
      echo "${process#/proc/}"
  done 2>/dev/null
}
# The job made to run for ever is stopped whatever happens.
trap 'kill -TERM $(tarvex_in "${runs:-}/001") 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

sweep="$scratch/x\$(touch PWNED)y/it's my sweeps/sweep"
mkdir -p "${sweep%/sweep}"
cp -r "$source"/examples/{sweep,find-tarvex.sh,data} "${sweep%/sweep}/"
rm -rf "$sweep/runs"
export TARVEX=$bin/tarvex SWEEP_TABLE=$sweep/small.csv
tarvex=$(readlink -f "$TARVEX") runs=$sweep/runs
printf '%s\n' lr,m,ep,cv,sd 0.3,0.6,40,3,1 '"0.3",0.6,50,,2' 0.1,0.9,30,2,1 >"$SWEEP_TABLE"
cd "$scratch" || exit 1
"$sweep/sweep-parallel.sh" >out.txt 2>&1 || fail "a sweep in a folder with a quote: $(cat out.txt)"
[ -z "$(find "$scratch" -name PWNED)" ] || fail "the folder's name ran as shell code"
# The table's ep and cv win over job.sh's /ep=2000 /cv=5; cv left empty takes 5.
python3 - "$runs" <<'CHECK' || fail "ep, cv or a quoted lr are not the table's"
import json, sys
for job, figures in (("001", (40, 3, 0.3)), ("002", (50, 5, 0.3)), ("003", (30, 2, 0.1))):
    s = json.load(open(f"{sys.argv[1]}/{job}/summary.json"))
    assert (s["options"]["ep"], s["cross_validation"]["folds"], s["options"]["lr"]) == figures, job
CHECK

# Refused before any job runs: a value that smuggles an option, not a number or not a whole one, a
# quoted field holding a comma where the decimal separator is ".", an unknown column.
while IFS='|' read -r table message; do
  printf %b "$table" >refused.csv
  SWEEP_TABLE=refused.csv SWEEP_RUNS=refused "$sweep/sweep-parallel.sh" >out.txt 2>&1
  [ $? = 2 ] && grep -qF "$message" out.txt && [ ! -e refused ] || fail "$message: $(cat out.txt)"
done <<'TABLES'
lr,ep\n0.3/ep=5,40\n|line 2 (job 1): 'lr' is '0.3/ep=5', not a number
lr,ep\n0.3,40\nnan,40\n|line 3 (job 2): 'lr' is 'nan', not a number
lr,ep\n1e309,40\n|'lr' is '1e309', beyond the range of numbers
lr,ep\n0.3,40.5\n|'ep' is '40.5', not a whole number
lr,ep\n"0,3",40\n|'lr' is '0,3', not a number ('.' is the decimal separator here)
lr,epochs\n0.3,40\n|column 2, 'epochs', is not an option a sweep varies
TABLES
if locale -a | grep -qix 'de_DE.utf-\?8'; then  # where "0,3" is the number lr 0.3
  printf '%s\n' lr,ep,cv '"0,3",40,2' >comma.csv
  LC_ALL=de_DE.UTF-8 SWEEP_TABLE=comma.csv SWEEP_RUNS=comma "$sweep/job.sh" 1 &&
    grep -q '"lr": 0.3,' comma/001/summary.json || fail "lr \"0,3\" under de_DE"
fi

# No job ran: the sweep fails and names the lines.
TARVEX=no-tarvex SWEEP_RUNS=none "$sweep/sweep-parallel.sh" >out.txt 2>&1 && fail "no job ran: 0"
grep -q '3 of 3 jobs left no run summary that can be read: 001, 002, 003' out.txt ||
  fail "the jobs that did not run are not named: $(cat out.txt)"

# Summaries that collect cannot rank: each is listed with the reason, the others still ranked.
cp -r "$runs" broken
for job in 101 102 103 104; do cp -r "$runs/002" "broken/$job"; done
python3 - <<'BREAK'
import json
text = open("broken/002/summary.json", "rb").read()
summary = json.loads(text)
summary["cross_validation"]["mean"]["validation"][0]["rmse"] = None
for job, data in (("101", text[:len(text) // 2]), ("102", text.replace(b"ed", b"\xe9d")),
                  ("103", b"[1, 2]"), ("104", json.dumps(summary).encode())):
    open(f"broken/{job}/summary.json", "wb").write(data)
BREAK
"$sweep/collect" broken >out.txt 2>&1 && fail "collect exits 0 over broken summaries"
grep -q '3 of 7 jobs left no run summary that can be read: 101, 102, 103$' out.txt ||
  fail "$(cat out.txt)"
[ "$(grep -c '^[123],00[123],succeeded,' broken/ranking.csv)" = 3 ] &&
  [ -f broken/best-network.json ] &&
  grep -q '^,101,bad summary,.*cut short' broken/ranking.csv &&
  grep -q '^,102,bad summary,.*not UTF-8' broken/ranking.csv &&
  grep -q '^,103,bad summary,.*not a tarvex run summary' broken/ranking.csv &&
  grep -q '^,104,succeeded,.*RMSE of output 1 is null' broken/ranking.csv ||
  fail "broken summaries ranked otherwise: $(cat broken/ranking.csv)"

# A job killed by SIGTERM (as at a Slurm time limit) leaves no summary, not the earlier one.
sed -i 2s/40/2000000000/ "$SWEEP_TABLE"
rm "$runs/joblog"
"$sweep/sweep-parallel.sh" >out.txt 2>&1 &
for ((tries = 0; tries < 120; tries++)); do
  job=$(tarvex_in "$runs/001")
  [ -n "$job" ] && kill -TERM "$job" && break
  sleep 0.5
done
[ -n "$job" ] || fail "job 001 did not start within a minute"
wait $! && fail "a sweep with a killed job exits 0"
grep -q '1 of 3 jobs left no run summary that can be read: 001$' out.txt || fail "$(cat out.txt)"
grep -q '^,001,no summary,.*the job did not run, or was killed' "$runs/ranking.csv" ||
  fail "the killed job is not listed as such: $(cat "$runs/ranking.csv")"
# Resumed, the killed line runs again, and only it.
sed -i 2s/2000000000/40/ "$SWEEP_TABLE"
before=$(stat -c %Y "$runs"/00[23]/summary.json)
"$sweep/sweep-parallel.sh" >out.txt 2>&1 || fail "the resumed sweep: $(cat out.txt)"
[ -f "$runs/001/summary.json" ] && [ "$(stat -c %Y "$runs"/00[23]/summary.json)" = "$before" ] ||
  fail "--resume did not run the killed line alone"
# Classifiers ranked by their validation log loss, with their accuracy beside it.
for job in 001 002 003; do
  mkdir -p "classes/$job" && cp "${sweep%/sweep}/data/parts.csv" "classes/$job/"
  (cd "classes/$job" && "$TARVEX" /task=classification /tif=parts.csv /tifh=length,diameter,mass \
    /tof=parts.csv /tofh=kind /nof=net.json /vf=0.25 /ep=60 "/sd=${job#00}" "/n=$((${job#00} + 1))" \
    /log=run.log /sof=summary.json) || fail "classifier $job: $(cat "classes/$job/run.log")"
done
"$sweep/collect" classes >out.txt 2>&1 || fail "collect over classifiers: $(cat out.txt)"
python3 - classes <<'CHECK' || fail "the classifiers' ranking: $(cat classes/ranking.csv)"
import csv, json, sys
rows = list(csv.DictReader(open(f"{sys.argv[1]}/ranking.csv")))
figures = [json.load(open(f"{sys.argv[1]}/{r['job']}/summary.json"))["metrics"]["validation"]
           for r in rows]
assert [r["rank"] for r in rows] == ["1", "2", "3"] and "validation_rmse_1" not in rows[0]
assert [float(r["validation_log_loss"]) for r in rows] == sorted(f["log_loss"] for f in figures)
assert all((float(r["validation_log_loss"]), float(r["validation_accuracy"])) ==
           (f["log_loss"], f["accuracy"]) for r, f in zip(rows, figures))
CHECK
cmp "classes/best-network.json" "classes/$(sed -n 2p classes/ranking.csv | cut -d, -f2)/net.json" ||
  fail "the best classifier's network is not the one copied"

echo "The sweep runs in a hostile folder, refuses bad tables, and ranks around broken jobs."
