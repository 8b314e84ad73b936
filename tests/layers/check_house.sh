#!/usr/bin/env bash
# Two checks that keep the house's map true: no tracked file holds a line of merge debris (a
# README with conflict markers once landed), and README's layout table lists exactly the rooms
# whose arrows check_layers.sh keeps.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
failures=0

# The markers are written in two pieces, so that this file does not hold them itself.
open_marker='<<<<'"<<<"
close_marker='>>>>'">>>"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  hits=$(git -C "$root" grep -n -I -E "^(${open_marker}|${close_marker})( |$)" -- . 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "Merge debris (conflict-marker lines) in tracked files:"
    echo "$hits"
    failures=$((failures + 1))
  fi
else
  echo "Not a git checkout: the conflict-marker check is skipped."
fi

# Rooms as README's layout table names them (its first column, one room a row) and as the
# layering check knows them (the keys of its table of allowed arrows).
readme_rooms=$(awk '/^## Layout/ {on = 1; next} /^## / {on = 0} on && /^\| `/' "$root/README.md" |
  sed -E 's/^\| `([^`]+)`.*/\1/; s:/$::' | sort)
layer_rooms=$(sed -n '/^declare -A allowed=(/,/^)/p' "$root/tests/layers/check_layers.sh" |
  sed -nE 's/^[[:space:]]*\[([^]]+)\]=.*/\1/p' | sort)
if [ "$readme_rooms" != "$layer_rooms" ]; then
  echo "README's layout table and tests/layers/check_layers.sh disagree on the rooms:"
  diff <(echo "$readme_rooms") <(echo "$layer_rooms") | sed -n 's/^< /  only in README: /p; s/^> /  only in check_layers.sh: /p'
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "No merge debris; README's layout lists the rooms the layering check keeps."
exit $((failures > 0))
