# Sourced by run-classification and run-regression: installs what is missing, builds tarvex in
# build-bench/ of the repo (Release, tests off) unless TARVEX names one, and compiles the FANN
# program into a scratch folder that goes when the script ends ($scratch).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/lib.sh"
if [ -z "${TARVEX:-}" ]; then
  ensure_build_packages libfann-dev python3 python3-sklearn
  build="$root/build-bench"
  # Warnings are the business of the test builds; here they must not stop a measurement.
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DTARVEX_WERROR=OFF \
    >/dev/null
  cmake --build "$build" -j"${JOBS:-2}" --target tarvex networkengine >/dev/null
  TARVEX="$build/bin/tarvex"
else
  ensure_packages gcc libfann-dev python3 python3-sklearn
fi
TARVEX=$(realpath "$TARVEX")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cc -O2 -o "$scratch/fann_peer" "$root/bench/sets/fann_peer.c" -ldoublefann -lm
