#!/usr/bin/env bash
# The floors of the client, each including only what is below it:
# - core/ includes nothing of the folders above it (platform/, printing/, gui/, the feature
#   folders, app/);
# - platform/ includes no header of a feature folder (checkout/, queries/, settings/) nor of
#   app/: a rule it shares with them lives in core/;
# - gui/ includes no header of a feature folder nor of app/;
# - the feature folders never include a header of app/, nor a window of another feature
#   folder (a window is a class with a form in forms/); their plain rules may be used by the
#   other feature folders and by app/.
# Prints every offending include and fails when there is one.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
cd "$root"

features=(checkout queries settings)
failures=0

is_window() { [ -f "forms/$1.ui" ]; }

offend() {
    echo "$1"
    failures=$((failures + 1))
}

# Every header included as "Name.h" by a file.
included() { sed -n 's/^#include "\([^"]*\.h\)".*/\1/p' "$1"; }

check_feature_file() {
    local file="$1" own="$2" header
    while IFS= read -r header; do
        if [ -f "app/$header" ]; then
            offend "$file includes app/$header"
            continue
        fi
        for other in "${features[@]}"; do
            [ "$other" = "$own" ] && continue
            if [ -f "$other/$header" ] && is_window "${header%.h}"; then
                offend "$file includes the window $other/$header"
            fi
        done
    done < <(included "$file")
}

# platform/ and gui/ stand below every feature folder and app/.
check_lower_file() {
    local file="$1" header
    while IFS= read -r header; do
        for upper in "${features[@]}" app; do
            if [ -f "$upper/$header" ]; then
                offend "$file includes $upper/$header"
            fi
        done
    done < <(included "$file")
}

for folder in "${features[@]}"; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        check_feature_file "$file" "$folder"
    done
done
for folder in platform gui; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        check_lower_file "$file"
    done
done
for file in core/*.h core/*.cpp; do
    while IFS= read -r header; do
        for upper in platform printing gui "${features[@]}" app; do
            if [ -f "$upper/$header" ]; then
                offend "$file includes $upper/$header"
            fi
        done
    done < <(included "$file")
done

if [ "$failures" -ne 0 ]; then
    echo "$failures include(s) cross the floors"
    exit 1
fi
echo "Floors kept"
