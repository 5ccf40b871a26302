# The timing functions the benchmark scripts share; sourced, not run.

# Wall-clock seconds of one run, to the millisecond.
seconds() {
    local TIMEFORMAT=%3R
    { time "$@" >/dev/null 2>&1; } 2>&1
}

# Best of `rounds` runs of each command line, run in alternation so that all
# see the same machine; prints the best times, one per line.
best_times() {
    local -a best=()
    local round i t
    for ((round = 0; round < rounds; round++)); do
        for ((i = 1; i <= $#; i++)); do
            # shellcheck disable=SC2086 # each argument is a command line
            t=$(seconds ${!i})
            if [[ -z ${best[i]:-} ]] || awk "BEGIN { exit !($t < ${best[i]}) }"; then best[i]=$t; fi
        done
    done
    for ((i = 1; i <= $#; i++)); do echo "${best[i]}"; done
}

ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
