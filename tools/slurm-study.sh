#!/usr/bin/env bash
# A probabilistic study on a Slurm cluster, as a job array: each array task runs its share of the
# samples, and a job that waits for all of them merges their parts into the study's results.
#
#   tools/slurm-study.sh submit STUDY.json TASKS   # submits the array (TASKS tasks) and the merge job
#   tools/slurm-study.sh task STUDY.json TASKS     # one task's share (SLURM_ARRAY_TASK_ID)
#   tools/slurm-study.sh merge STUDY.json TASKS    # joins the TASKS parts
#
# The study file, its problem and dizirovi-cli (DIZIROVI_CLI, default: the one beside this script's
# build, else on PATH) must be reachable under the same paths on every node. Extra sbatch options
# go in SBATCH_OPTIONS (for example "--partition=short --time=01:00:00").
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cli="${DIZIROVI_CLI:-}"
if [ -z "$cli" ]; then
    if [ -x "$here/../build/bin/dizirovi-cli" ]; then cli="$here/../build/bin/dizirovi-cli"; else cli=dizirovi-cli; fi
fi

usage() { echo "usage: $0 submit|task|merge STUDY.json TASKS" >&2; exit 2; }
[ $# -eq 3 ] || usage
mode="$1"; study="$(realpath "$2")"; tasks="$3"
[[ "$tasks" =~ ^[1-9][0-9]*$ ]] || usage

# The study's number of samples, as the study file gives it (1000 when it does not).
samples="$(grep -o '"samples"[[:space:]]*:[[:space:]]*[0-9]*' "$study" | grep -o '[0-9]*$' || true)"
samples="${samples:-1000}"
[ "$tasks" -le "$samples" ] || { echo "$0: more tasks than samples" >&2; exit 2; }

# Task i of n runs samples floor(N i / n) to floor(N (i + 1) / n) - 1.
range() { echo "$(( samples * $1 / tasks )):$(( samples * ($1 + 1) / tasks ))"; }
part() { local r; r="$(range "$1")"; echo "${study%.json}.part-${r%%:*}-${r##*:}.json"; }

case "$mode" in
submit)
    job="$(sbatch --parsable ${SBATCH_OPTIONS:-} --array="0-$((tasks - 1))" "$0" task "$study" "$tasks")"
    sbatch --parsable ${SBATCH_OPTIONS:-} --dependency="afterok:${job%%;*}" "$0" merge "$study" "$tasks"
    ;;
task)
    id="${SLURM_ARRAY_TASK_ID:?task mode runs as a task of the job array}"
    exec "$cli" study "$study" --samples "$(range "$id")" --threads "${SLURM_CPUS_PER_TASK:-0}"
    ;;
merge)
    parts=()
    for ((i = 0; i < tasks; ++i)); do parts+=("$(part "$i")"); done
    exec "$cli" study merge "$study" "${parts[@]}"
    ;;
*) usage ;;
esac
