# Shared by the example jobs: finds tarvex, runs a job from the examples folder and reports.
#
# Tarvex splits its command line at every "/", so the jobs write paths with "\" (tarvex turns
# them into "/" when it opens files), relative to the examples folder: a ".\" path would mean the
# folder of the tarvex program instead. Tarvex creates missing folders only for paths deeper than
# out\..., so out/ is made here.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/find-tarvex.sh"
cd "$here"
mkdir -p out

# run_job WHERE-THE-PREDICTIONS-GO OPTION...: runs tarvex with the options, says where the
# predictions and the log are, and on failure shows this run's last log line.
run_job() {
  local predictions=$1
  shift
  local log_size status
  log_size=$(stat -c %s out/run.log 2>/dev/null || echo 0)
  "$tarvex" "$@"
  status=$?
  echo "Predictions: $predictions"
  echo "Log: $here/out/run.log"
  if [ "$status" -ne 0 ]; then
    # The log is appended across runs: only this run's lines count.
    local last
    last=$(tail -c +"$((log_size + 1))" out/run.log 2>/dev/null | tr -d '\r' | tail -n 1)
    echo "tarvex failed (exit status $status): ${last:-no log line}" >&2
  fi
  return "$status"
}
