# Sets tarvex to the program to run: $TARVEX, else the tarvex built beside these examples, else
# an installed one; fails with a line when there is none. Shared by the example scripts.
examples=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tarvex=${TARVEX:-$(cd "$examples/.." && pwd)/build/bin/tarvex}
if [ -z "${TARVEX:-}" ] && [ ! -x "$tarvex" ] && command -v tarvex >/dev/null; then
  tarvex=$(command -v tarvex)
fi
if [ ! -x "$tarvex" ]; then
  echo "No tarvex at $tarvex: build or install it first, or set TARVEX." >&2
  exit 1
fi
