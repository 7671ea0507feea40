#!/bin/sh
# Remakes the sample machine's SDX files from their XML sources in sdx-src/:
#   sdx-src/cfg/NAME.xml          -> c/ProgramData/Quorvath/VELK/cfg/NAME.sdx
#   sdx-src/sdx/CONFIG/NAME.xml   -> c/ProgramData/Quorvath/VELK/sdx/CONFIG/NAME.sdx
# Each SDX file is a zip archive of the one XML file, encrypted with the password made from the SDX
# file's name: "VELK-SDX/" + its name without folder and extension, in lower case. Needs Info-ZIP zip.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/c/ProgramData/Quorvath/VELK"
command -v zip >/dev/null || { echo "make_sdx.sh: 'zip' is missing (apt-get install zip)" >&2; exit 1; }
cd "$here/sdx-src"
find cfg sdx -name '*.xml' | sort | while read -r source; do
    target="$data/${source%.xml}.sdx"
    stem=$(basename "$source" .xml)
    password="VELK-SDX/$(printf %s "$stem" | tr A-Z a-z)"
    mkdir -p "$(dirname "$target")"
    rm -f "$target"  # zip adds to an existing archive; a second entry makes the file unreadable
    zip -q -j -X -P "$password" "$target" "$source"
    echo "made ${target#"$here"/}"
done
