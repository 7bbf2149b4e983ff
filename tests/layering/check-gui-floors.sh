#!/usr/bin/env bash
# The GUI's floors: the feature folders (checkout/, queries/, settings/) never include a header
# of app/, nor a window of another feature folder (a window is a class with a form in forms/);
# gui/ includes neither. Core rules that live in a feature folder may be used by anyone.
# Prints every offending include and fails when there is one.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
cd "$root"

features=(checkout queries settings)
failures=0

is_window() { [ -f "forms/$1.ui" ]; }

check_file() {
    local file="$1" own="$2"
    local header base
    while IFS= read -r header; do
        base="${header%.h}"
        if [ -f "app/$header" ]; then
            echo "$file includes app/$header"
            failures=$((failures + 1))
            continue
        fi
        for other in "${features[@]}"; do
            [ "$other" = "$own" ] && continue
            if [ -f "$other/$header" ] && is_window "$base"; then
                echo "$file includes the window $other/$header"
                failures=$((failures + 1))
            fi
        done
    done < <(sed -n 's/^#include "\([^"]*\.h\)".*/\1/p' "$file")
}

for folder in "${features[@]}" gui; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        check_file "$file" "$folder"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures include(s) cross the GUI floors"
    exit 1
fi
echo "GUI floors kept"
