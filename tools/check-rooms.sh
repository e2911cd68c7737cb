#!/usr/bin/env bash
# Checks the include lines of src/: a room includes only from itself and the rooms below it,
# in the order given here (bottom first), so no two rooms lean on each other. Also checks that
# the plot reads no settings and that no source file passes 500 lines.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rooms=(settings protocol fit records panels sensors serial plot app)

declare -A rank
for i in "${!rooms[@]}"; do rank[${rooms[$i]}]=$i; done

status=0
while IFS= read -r -d '' file; do
    rel="${file#"$root"/src/}"
    room="${rel%%/*}"
    if [ -z "${rank[$room]+x}" ]; then
        echo "$rel: room '$room' has no place in the order" >&2; status=1; continue
    fi
    while IFS= read -r target; do
        if [ -z "${rank[$target]+x}" ]; then continue; fi
        if [ "${rank[$target]}" -gt "${rank[$room]}" ]; then
            echo "$rel includes from '$target', a room above '$room'" >&2; status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*/\1/p' "$file")
    lines=$(wc -l < "$file")
    if [ "$lines" -gt 500 ]; then echo "$rel: $lines lines (over 500)" >&2; status=1; fi
done < <(find "$root/src" \( -name '*.cpp' -o -name '*.h' \) -print0)

if grep -rlE 'QSettings|settingskeys\.h|storedsettings\.h|StoredSettings' "$root/src/plot" >&2; then
    echo "src/plot reads settings (files above)" >&2; status=1
fi
[ $status -eq 0 ] && echo "rooms in order: ${rooms[*]}"
exit $status
