#!/usr/bin/env bash
# The summary of ./velk demo over small days of timeline and log, one row per case: what it counts (objects
# only, not menus), how it lists each jetway job, and when it counts an AI aircraft as served (its jetway
# docked by a module job, then pulled back by one that started after its clearance and ended before it
# pushed back). Run by ctest as demo_summary; prints each failed row and ends with 1 when one failed.
set -uo pipefail
tests="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../velk
source "$tests/../../velk"
set +e
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0

# A day at B21: two objects created and removed (and two menus and the add-on item removed), the CRJ's
# jetway docked by a module job, one user job cut by the rebuild, one WARN line. $1: the AI's later
# timeline lines; $2: whether the log has the undocking job's line (yes/no).
day() {
    cat >"$work/timeline" <<'LINES'
[    0.000] client 'Orvane VELK' connected over the socket
[   40.000] object 22 'Quorvath_VELK_Beacon' created for 'Orvane VELK' (request 106) at 48.1, 11.5
[   40.000] object 23 'Quorvath_VELK_Barrier' created for 'Orvane VELK' (request 107) at 48.1, 11.5
[  108.033] menu 'VELK Stand Operations' removed by 'Orvane VELK'
[  150.000] AI aircraft 73 'Quorvath AI CRJ-700 Velkair Regional' (taxi in) at 48.099600, 11.503418, 1656.8 ft, heading 0.0, parking 'GATE_B 21, GATE_MEDIUM'
[  158.000] AI aircraft 73 'Quorvath AI CRJ-700 Velkair Regional' now shutdown at 48.100210, 11.503418, 1656.8 ft, heading 0.0, parking 'GATE_B 21, GATE_MEDIUM'
[  164.000] event 'VELK.JetwayAction.Start' data 743 from 'Orvane VELK'
[  191.133] event 'VELK.JetwayAction.Done' data 745 from 'brannet'
[  465.033] menu 'VELK Stand Operations' removed by 'Orvane VELK'
LINES
    printf '%s\n' "$1" >>"$work/timeline"
    cat >>"$work/timeline" <<'LINES'
[  584.000] event 'VELK.JetwayAction.Start' data 663 from 'Orvane VELK'
[  640.533] event 'VELK.JetwayAction.ResetAll' data 0 from 'Orvane VELK'
[  700.000] object 22 'Quorvath_VELK_Beacon' removed by 'Orvane VELK'
[  700.000] object 23 'Quorvath_VELK_Barrier' removed by 'Orvane VELK'
[  845.033] add-on menu item 'VELK 1.7.1' removed by 'Orvane VELK'
LINES
    {
        echo "[17:00:01.000] INFO VELK.FSLOOP : [JETWAY JOB] Jetway 'B21 Jetway' [74] docking to door 1L of AI [73]"
        [ "$2" = no ] || echo "[17:00:02.000] INFO VELK.FSLOOP : [JETWAY JOB] Jetway 'B21 Jetway' [74] undocking from door 1L of AI [73]"
        echo "[17:00:03.000] INFO VELK.FSLOOP : [JETWAY JOB] Jetway 'B22 Jetway Front' [66] undocking from door 1L of the user aircraft"
        echo "[17:00:04.000] WARN VELK.FSLOOP : [JETWAY CONTROL SYSTEM] something doubtful"
    } >"$work/log"
}

# row NAME STATUS EXPECTED...: the summary of the day written last ends with STATUS and holds every
# EXPECTED line (exactly).
row() {
    local name="$1" status="$2"
    shift 2
    local out rc
    out="$(demo_summary "$work/timeline" "$work/log" map.svg 240,600 client.txt 0)"
    rc=$?
    local problem=""
    [ "$rc" -eq "$status" ] || problem+="  status $rc, expected $status"$'\n'
    local line
    for line in "$@"; do
        grep -qxF -- "$line" <<<"$out" || problem+="  missing: $line"$'\n'
    done
    if [ -n "$problem" ]; then
        echo "FAILED row '$name':"
        printf '%s' "$problem"
        echo "  the summary was:"
        sed 's/^/    | /' <<<"$out"
        failed=1
    else
        echo "ok row '$name'"
    fi
}

clearance="[  470.000] AI aircraft 73 'Quorvath AI CRJ-700 Velkair Regional' now clearance at 48.100210, 11.503418, 1656.8 ft, heading 0.0, parking 'GATE_B 21, GATE_MEDIUM'"
undockStart="[  472.000] event 'VELK.JetwayAction.Start' data 744 from 'Orvane VELK'"
undockDone="[  499.133] event 'VELK.JetwayAction.Done' data 744 from 'brannet'"
pushback="[  505.000] AI aircraft 73 'Quorvath AI CRJ-700 Velkair Regional' now push back 1 at 48.100100, 11.503418, 1656.8 ft, heading 0.0, parking 'GATE_B 21, GATE_MEDIUM'"
earlyPushback="[  480.000] AI aircraft 73 'Quorvath AI CRJ-700 Velkair Regional' now push back 1 at 48.100100, 11.503418, 1656.8 ft, heading 0.0, parking 'GATE_B 21, GATE_MEDIUM'"
earlyUndock="[  465.000] event 'VELK.JetwayAction.Start' data 744 from 'Orvane VELK'"
gone="[  535.000] object 73 'Quorvath AI CRJ-700 Velkair Regional' removed"

day "$clearance"$'\n'"$undockStart"$'\n'"$undockDone"$'\n'"$pushback"$'\n'"$gone" yes
row "served, and what is counted" 0 \
    "Objects: 2 created for orvane, 2 removed by it." \
    "Jetway jobs: 3 started, 2 finished (simulated seconds, start - end):" \
    "    164.000 - 191.133   'B21 Jetway' docking to door 1L of AI [73]" \
    "    472.000 - 499.133   'B21 Jetway' undocking from door 1L of AI [73]" \
    "    584.000 - stopped by the rebuild at 640.533 'B22 Jetway Front' undocking from door 1L of the user aircraft" \
    "  Quorvath AI CRJ-700 Velkair Regional [73]: came 150.000 s, clearance 470.000 s, pushed back 505.000 s, gone 535.000 s; jetways docked by module jobs: 1, pulled back by module jobs at the gate: 1; served" \
    "VELK.log: 1 WARN/ERROR/FATAL lines."

day "$earlyPushback"$'\n'"$gone" no
row "its jetway jumped back when it went" 1 \
    "  Quorvath AI CRJ-700 Velkair Regional [73]: came 150.000 s, clearance - s, pushed back 480.000 s, gone 535.000 s; jetways docked by module jobs: 1, pulled back by module jobs at the gate: 0; NOT SERVED"

day "$clearance"$'\n'"$earlyPushback"$'\n'"$undockStart"$'\n'"$undockDone" yes
row "pulled back only after it pushed back" 1 \
    "  Quorvath AI CRJ-700 Velkair Regional [73]: came 150.000 s, clearance 470.000 s, pushed back 480.000 s, gone - s; jetways docked by module jobs: 1, pulled back by module jobs at the gate: 0; NOT SERVED"

day "$earlyUndock"$'\n'"$clearance"$'\n'"$undockDone"$'\n'"$pushback" yes
row "pulled back before it asked for its clearance" 1 \
    "    465.000 - 499.133   'B21 Jetway' undocking from door 1L of AI [73]" \
    "  Quorvath AI CRJ-700 Velkair Regional [73]: came 150.000 s, clearance 470.000 s, pushed back 505.000 s, gone - s; jetways docked by module jobs: 1, pulled back by module jobs at the gate: 0; NOT SERVED"

exit "$failed"
