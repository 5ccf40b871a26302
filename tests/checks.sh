# Sourced by the shell tests: counted checks, and build steps that stay
# quiet unless they fail (in $work/log: the sourcing script sets $work).

passed=0 failed=0
check() # DESCRIPTION EXPECTED ACTUAL
{
    if [[ $2 == "$3" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3"
    fi
}

quietly()
{
    "$@" >"$work/log" 2>&1 || { cat "$work/log"; return 1; }
}
