#!/usr/bin/env bash
# Keeps every arrow between the program's folders pointing down: reads the #include lines of each
# folder's sources and fails, naming the file and the include, when a folder reaches one that it
# may not use. README's layout section states the same floors.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}

# Folder: the folders its code may include besides its own. engine/ is a separate component that
# sees only the engine interface header, which is checked apart below.
declare -A allowed=(
  [platform]=""
  [workbook]="platform"
  [database]="platform"
  [job]="platform"
  [input]="job platform workbook database"
  [network]="job platform"
  [output]="job platform workbook database"
  [report]="network job platform"
  [driver]="input network output report job platform workbook database"
  [engine]=""
  [scriptfix]="platform"
  [packaging]="driver job platform"
)
engine_interface="network/network_engine.h"

failures=0
for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r match; do
    file=${match%%:*}
    rest=${match#*:}
    included=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$rest")
    target=${included%%/*}
    [ "$target" = "$included" ] && continue  # a header beside the file, or a system header
    [ "$target" = "$folder" ] && continue
    if [ "$folder" = engine ] && [ "$included" = "$engine_interface" ]; then continue; fi
    ok=0
    for permitted in ${allowed[$folder]}; do
      [ "$target" = "$permitted" ] && ok=1
    done
    if [ "$ok" -eq 0 ]; then
      line=${rest%%:*}
      echo "${file#"$root"/}:$line: $folder/ may not include \"$included\" (allowed: ${allowed[$folder]:-nothing})"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$folder")
done

if [ "$failures" -gt 0 ]; then
  echo "$failures include(s) point up or sideways."
  exit 1
fi
echo "Every include points down."
