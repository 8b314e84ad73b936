#!/usr/bin/env bash
# Keeps every arrow between the program's rooms pointing down: reads the #include lines of each
# room's sources and fails, naming the file and the include, when a room reaches one that it may
# not use. README's layout section states the same floors.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}

# Room (a folder, or a folder inside one): the rooms its code may include besides its own. A file
# belongs to the deepest room that holds it; an include, to the deepest room its path names.
# engine/ is a separate component that sees only the engine interface header, which is checked
# apart below. The workbook model picks a format by content, so it sits above the format rooms;
# they share only workbook/format/, and compound/ knows nothing of workbooks.
declare -A allowed=(
  [platform]=""
  [workbook/format]="platform"
  [workbook/compound]="platform"
  [workbook/biff]="workbook/format workbook/compound platform"
  [workbook/openxml]="workbook/format platform"
  [workbook]="workbook/format workbook/biff workbook/openxml platform"
  [database]="platform"
  [job]="platform"
  [input]="job platform workbook database"
  [training]="job platform"
  [netfile]="job platform"
  [results]="job platform"
  [network]="training netfile results job platform"
  [output]="job platform workbook database"
  [report]="results job platform"
  [onnx]="training job platform"
  [driver]="input network training netfile results onnx output report job platform workbook database"
  [engine]=""
  [scriptfix]="platform"
  [packaging]="driver job platform"
)
engine_interface="training/network_engine.h"

# Sets found to the deepest room that holds the path; empty when none does.
room_of() {
  local room
  found=""
  for room in "${!allowed[@]}"; do
    if [[ "$1" == "$room"/* ]] && [ ${#room} -gt ${#found} ]; then found=$room; fi
  done
}

failures=0
for room in "${!allowed[@]}"; do
  [ -d "$root/$room" ] || continue
  while IFS= read -r match; do
    file=${match%%:*}
    rest=${match#*:}
    room_of "${file#"$root"/}"
    [ "$found" = "$room" ] || continue  # a deeper room's file
    [[ "$rest" =~ include[[:space:]]*\"([^\"]+)\" ]] || continue
    included=${BASH_REMATCH[1]}
    [ "${included%%/*}" = "$included" ] && continue  # a header beside the file, or a system header
    room_of "$included"
    target=${found:-${included%%/*}}
    [ "$target" = "$room" ] && continue
    if [ "$room" = engine ] && [ "$included" = "$engine_interface" ]; then continue; fi
    ok=0
    for permitted in ${allowed[$room]}; do
      [ "$target" = "$permitted" ] && ok=1
    done
    if [ "$ok" -eq 0 ]; then
      line=${rest%%:*}
      echo "${file#"$root"/}:$line: $room/ may not include \"$included\" (allowed: ${allowed[$room]:-nothing})"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$room")
done

if [ "$failures" -gt 0 ]; then
  echo "$failures include(s) point up or sideways."
  exit 1
fi
echo "Every include points down."
