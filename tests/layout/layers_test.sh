#!/usr/bin/env bash
# The source tree's shape: every include names its folder, no folder
# includes from one above it or from a sibling of the same level, no two
# files share a name, and no file grows past 400 lines.
#   layers_test.sh SOURCE_DIR
set -u
cd "$1/src" || exit 1
# Each folder's level; a file may include from its own folder or from a
# lower level.
declare -A level=([core]=0 [solve]=1 [cli]=2 [driver]=3 [evidence]=3 [prep]=3 [runs]=4 [report]=4 [commands]=5)
faults=0
fault() { echo "$1"; faults=$((faults + 1)); }

for file in $(find . -name '*.h' -o -name '*.cpp' | sed 's#^\./##' | sort); do
  folder=${file%%/*}
  [ -n "${level[$folder]+x}" ] || { fault "$file: folder $folder has no level in this test"; continue; }
  lines=$(wc -l < "$file")
  [ "$lines" -le 400 ] || fault "$file: $lines lines (at most 400)"
  while IFS=: read -r number include; do
    target=${include%%/*}
    if [ "$target" = "$include" ]; then
      fault "$file:$number: \"$include\" does not name its folder"
    elif [ -z "${level[$target]+x}" ]; then
      fault "$file:$number: \"$include\" is in no known folder"
    elif [ "$target" != "$folder" ] && [ "${level[$target]}" -ge "${level[$folder]}" ]; then
      fault "$file:$number: $folder (level ${level[$folder]}) includes $include (level ${level[$target]})"
    elif [ ! -f "$include" ]; then
      fault "$file:$number: \"$include\" does not exist"
    fi
  done < <(grep -n '^#include "' "$file" | sed -E 's/^([0-9]+):#include "([^"]*)".*/\1:\2/')
done

duplicates=$(find . -type f -printf '%f\n' | sort | uniq -d)
for name in $duplicates; do fault "two files named $name: $(find . -name "$name" | tr '\n' ' ')"; done

echo "layers: $faults faults"
[ "$faults" -eq 0 ]
