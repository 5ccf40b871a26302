#!/usr/bin/env bash
# Faults injected while pavrin writes its output: a file-size limit, standard
# descriptors closed, signals in the middle of the write, out of memory at
# open, a failed fsync or rename, extended attributes that cannot be given,
# an unprivileged user facing a read-only file or directory, and system paths
# written through. After each, the output holds either its old bytes or the
# whole new map, and the directory holds no stray temporary file.
#
#   tests/fault_test.sh GROUP PAVRIN BYTES
#
# BYTES is the tests' input builder (tests/bytes_main.cpp).
#
# GROUP is one of size_limit, stderr_closed, strace, attributes, unprivileged,
# system_paths. Exits 77 (skipped) where the group's tools or privileges are
# missing.
set -uo pipefail
group=$1
pavrin=$(realpath "$2") bytes=$(realpath "$3") self=$(realpath "$0")

skip() { echo "skipped: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dir=$work/dir
mkdir "$dir"
cd "$dir"

# 255 x 255 cells: 130 KB, more than twice the size limit below.
"$bytes" map 255 255 8 8 $(seq 65025) >big.map
"$bytes" map 2 1 8 8 1 2 >a.map
"$bytes" map 2 2 8 8 1 2 >a_twice_cropped.map
printf 'old contents' >old.orig

# NAME STATUS ERR COMMAND...: runs COMMAND, checks its status and standard error.
expect() {
    local name=$1 status=$2 err=$3
    shift 3
    local got=0
    { "$@" 2>"$work/err" || got=$?; } 2>/dev/null # no word from the shell on a signal
    [[ $got == "$status" ]] || fail "$name: status $got, wanted $status"
    [[ $(cat "$work/err") == "$err" ]] || fail "$name: stderr '$(cat "$work/err")', wanted '$err'"
}
# LIMIT FD OUTPUT: pavrin -oOUTPUT a.map with room for LIMIT descriptors and FD closed.
cramped() { eval "prlimit --nofile=$1 \"\$pavrin\" -o$3 a.map $2>&-"; }
# A sanitizer's runtime cannot start with room for only 3 descriptors.
starts_cramped() {
    timeout 5 prlimit --nofile=3 "$pavrin" -? 0>&- 2>/dev/null ||
        { echo "skipped: this build cannot start with room for 3 descriptors"; return 1; }
}
# NAME FILE EXPECTED_FILE
same() { cmp -s "$2" "$3" || fail "$1: $2 differs from $3"; }
# NAME FILE...: the directory holds exactly these files.
listing() {
    local name=$1
    shift
    local want got
    want=$(printf '%s\n' "$@" | sort)
    got=$(ls -A | sort)
    [[ $got == "$want" ]] || fail "$name: directory holds: $(echo $got)"
}

case $group in
size_limit)
    # The limit is hit half-way through the map; the tool ignores SIGXFSZ,
    # so this is a failed write, not a kill.
    limited() { (ulimit -f 64 && exec "$pavrin" "$@"); }
    cp old.orig old.map
    cp big.map in.map
    expect "existing output" 1 "pavrin: write error!" limited -oold.map big.map
    same "existing output" old.map old.orig
    expect "new output" 1 "pavrin: write error!" limited -onew.map big.map
    expect "output = input" 1 "pavrin: write error!" limited -h255 -oin.map in.map a.map
    same "output = input" in.map big.map
    listing "after the limit" a.map a_twice_cropped.map big.map in.map old.map old.orig
    # A name of 4,093 bytes: the temporary name is cut to fit, not given up.
    deep=$(printf 'd%.0s' {1..199}) && deep="$deep/$deep/$deep/$deep/$deep"
    deep="$deep/$deep/$deep/$deep" && mkdir -p "$deep"
    long="$deep/$(printf 'f%.0s' $(seq $((4093 - ${#deep} - 1))))" && cp old.orig "$long"
    expect "4,093-byte name" 1 "pavrin: write error!" limited -o"$long" big.map
    cmp -s "$long" old.orig || fail "4,093-byte name: the old file changed"
    [[ $(ls -A "$deep") == "${long##*/}" ]] || fail "4,093-byte name: $(ls -A "$deep")"
    rm -r "${deep%%/*}"
    # Without the limit the same run replaces the file.
    expect "no limit" 0 "" "$pavrin" -oold.map big.map
    same "no limit" old.map big.map
    ;;
stderr_closed)
    # Nothing the tool opens may take descriptor 2, or the verbose lines
    # would land in the map; the other closed streams stay closed.
    expect "stderr open" 0 "$(printf '%s\n' '   2 x    1    +0    +0 a.map' \
        'change map size 2x1 -> 2x2' '   2 x    2 out.map')" "$pavrin" -v -h2 -oout.map a.map
    # Standard output is never filled with a file: it stays a write error.
    expect "stdout closed" 1 "pavrin: write error!" eval '"$pavrin" a.map >&-'
    for closed in "2>&-" "<&- >&- 2>&-"; do
        rm -f out.map
        status=0
        eval '"$pavrin" -v -h2 -oout.map a.map' "$closed" || status=$?
        [[ $status == 0 ]] || fail "$closed: status $status"
        same "$closed" out.map a_twice_cropped.map
    done
    # With 0 or 1 closed and room for 3 descriptors, none above 2 is free for
    # the output: an open error before anything is created or truncated. With
    # room for more the map is written, also over a file with two links.
    limits=(1024)
    starts_cramped && limits=(3 1024)
    for run in $(for limit in "${limits[@]}"; do echo $limit:{0,1}:{new,old,linked}.map; done); do
        IFS=: read -r limit closed output <<<"$run"
        rm -f new.map && cp old.orig old.map && cp old.orig linked.map && ln -f linked.map link2.map
        if ((limit == 3)); then
            expect "$run" 1 "pavrin: \`\`$output'' open error!" \
                cramped $limit $closed $output
            [[ ! -e new.map ]] || fail "$run: new.map created"
            same "$run" old.map old.orig && same "$run" link2.map old.orig
        else
            expect "$run" 0 "" cramped $limit $closed $output
            same "$run" "$output" a.map
        fi
    done
    # With 0, 1 and 2 open (and 3 free) no descriptor is held: room for 4 is
    # enough, as for fopen, also for a file written in place.
    for output in $(starts_cramped && echo {new,old,linked}.map); do
        rm -f new.map && cp old.orig old.map && cp old.orig linked.map && ln -f linked.map link2.map
        expect "4 descriptors, $output" 0 "" prlimit --nofile=4 "$pavrin" -o$output a.map 3>&-
        same "4 descriptors, $output" "$output" a.map
    done
    ;;
strace)
    command -v strace >/dev/null || skip "no strace"
    strace -o /dev/null true 2>/dev/null || skip "strace cannot trace here"
    # LeakSanitizer cannot run under ptrace; a sanitizer build says so and fails.
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
    # Each ending signal arrives as the third write of the map starts: 8 KiB
    # of it are already in the temporary file. The tool removes that file
    # and ends by the signal, with no message of its own.
    for signal in HUP INT QUIT TERM PIPE ALRM USR1 USR2 XCPU VTALRM PROF IO PWR STKFLT RTMIN RTMAX; do
        cp old.orig old.map
        expect "SIG$signal" $((128 + $(kill -l $signal))) "" strace -o /dev/null -e trace=write \
            -e inject=write:signal=$(kill -l $signal):when=3 "$pavrin" -oold.map big.map
        same "SIG$signal" old.map old.orig
    done
    # A signal ignored from the start stays ignored; fsync or rename failing
    # is a write error that leaves the old file.
    expect "SIGUSR1 ignored" 0 "" bash -c "trap '' USR1; exec strace -o /dev/null -e trace=write \
        -e inject=write:signal=USR1:when=3 '$pavrin' -onew.map big.map"
    same "SIGUSR1 ignored" new.map big.map
    for call in fsync rename,renameat,renameat2; do
        expect "$call fails" 1 "pavrin: write error!" strace -o /dev/null -e inject=$call:error=EIO \
            "$pavrin" -oold.map big.map
        same "$call fails" old.map old.orig
    done
    # With standard error closed and no /dev/null to open, no file takes
    # its place: the verbose lines are lost, never written into the map.
    rm new.map
    expect "no /dev/null" 0 "" strace -f -o /dev/null -P /dev/null -e trace=openat \
        -e inject=openat:error=EACCES sh -c "exec '$pavrin' -v -h2 -onew.map a.map 2>&-"
    same "no /dev/null" new.map a_twice_cropped.map
    rm new.map
    # A signal as the temporary file is made (the open with O_EXCL, counted in
    # a first run) finds it, and removes it.
    strace -o "$work/trace" -e trace=openat "$pavrin" -oold.map a.map
    call=$(sed -n '/O_EXCL/{=;q}' "$work/trace")
    cp old.orig old.map
    expect "SIGTERM at the temporary file's open" 143 "" strace -o /dev/null -e trace=openat \
        -e inject=openat:signal=TERM:when=$call "$pavrin" -oold.map a.map
    same "SIGTERM at the temporary file's open" old.map old.orig
    # The temporary file is hidden, beside the file the name leads to.
    mkdir sub && cp old.orig sub/real.map && ln -s sub/real.map link.map
    strace -o "$work/trace" -e trace=rename,renameat,renameat2 "$pavrin" -olink.map a.map
    grep -qE '"sub/\.real\.map\.[A-Za-z0-9]{6}", ([A-Z_]+, )?"sub/real\.map"' "$work/trace" ||
        fail "temporary file: $(cat "$work/trace")"
    rm -r sub link.map
    listing "after the signals" a.map a_twice_cropped.map big.map old.map old.orig
    # Out of memory while opening an input, or the existing output.
    no_memory() {
        local path=$1
        shift
        strace -o /dev/null -P "$path" -e trace=openat,open -e inject=openat,open:error=ENOMEM \
            "$pavrin" "$@"
    }
    # Absolute names throughout, as strace matches the path as given.
    expect "ENOMEM, input" 1 "pavrin: more core!" no_memory "$dir/a.map" -onew.map "$dir/a.map"
    expect "ENOMEM, output" 1 "pavrin: more core!" no_memory "$dir/old.map" -o"$dir/old.map" a.map
    same "ENOMEM, output" old.map old.orig
    listing "after ENOMEM" a.map a_twice_cropped.map big.map old.map old.orig
    ;;
attributes)
    command -v setfacl >/dev/null && command -v setfattr >/dev/null || skip "no setfacl or setfattr"
    setfacl -m u:nobody:rw old.orig 2>/dev/null && setfattr -n user.note -v x old.orig 2>/dev/null ||
        skip "no ACLs or extended attributes in $dir"
    setfacl -b old.orig && setfattr -x user.note old.orig
    # A replaced file keeps exactly its ACL (whose mask shows as the group
    # bits), its attributes and mode; one the new file inherited from the
    # folder's default ACL goes when the old file had none.
    attributes_of() { getfacl -cp "$1" && getfattr -dh -m - "$1" && stat -c %a "$1"; }
    cp old.orig acl.map && chmod 600 acl.map && setfacl -m u:nobody:rw acl.map
    setfattr -n user.note -v kept acl.map
    mkdir inherits && cp old.orig inherits/plain.map && setfacl -d -m u:nobody:r inherits
    for output in acl.map inherits/plain.map; do
        before=$(attributes_of "$output")
        expect "$output" 0 "" "$pavrin" -o"$output" a.map
        same "$output" "$output" a.map
        [[ $(attributes_of "$output") == "$before" ]] || fail "$output: now $(attributes_of "$output")"
    done
    # Where an attribute cannot be given, the map is written in place.
    if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
        export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
        for error in EPERM EOPNOTSUPP; do
            inode=$(stat -c %i acl.map) before=$(attributes_of acl.map)
            expect "fsetxattr $error" 0 "" strace -o /dev/null -e inject=fsetxattr:error=$error \
                "$pavrin" -h2 -oacl.map a.map
            same "fsetxattr $error" acl.map a_twice_cropped.map
            [[ $(stat -c %i acl.map):$(attributes_of acl.map) == "$inode:$before" ]] ||
                fail "fsetxattr $error: not written in place"
        done
    else
        echo "skipped: no strace to refuse an attribute"
    fi
    # A new file gets the mode and ACL fopen gives it, shaped by the umask or
    # by the folder's default ACL, as the shell's new file gets them.
    shaped_by() { stat -c %a "$1" && getfacl -cp "$1"; }
    for acl in u::rw,g::-,o::- u::rw,g::rw,o::- u::rw,u:nobody:rw,g::r,o::-; do
        for mask in 022 077; do
            mkdir shaped && setfacl -d -m $acl shaped
            (umask $mask && cat a.map >shaped/by_shell.map && "$pavrin" -oshaped/new.map a.map)
            [[ $(shaped_by shaped/new.map) == "$(shaped_by shaped/by_shell.map)" ]] ||
                fail "default ACL $acl, umask $mask: $(shaped_by shaped/new.map)"
            rm -r shaped
        done
    done
    listing "attributes" a.map a_twice_cropped.map acl.map big.map inherits old.orig
    ;;
unprivileged)
    [[ $(id -u) == 0 ]] || skip "not root, so no other user to become"
    command -v setpriv >/dev/null || skip "no setpriv"
    setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null || skip "setpriv refused"
    # Whatever the umask, the other user can read the inputs and run a copy
    # of the tool.
    chmod 777 "$work" "$dir" && chmod a+r ./*
    cp "$pavrin" "$work/pavrin" && chmod 755 "$work/pavrin" && pavrin=$work/pavrin
    nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$pavrin" "$@"; }
    # A file the user may not write, in a directory the user may write: a
    # rename could replace it, but it is refused as fopen refuses it.
    cp old.orig ro.map
    chown 65534:65534 ro.map
    chmod 444 ro.map
    expect "read-only file" 1 "pavrin: \`\`ro.map'' open error!" nobody -oro.map a.map
    same "read-only file" ro.map old.orig
    # A file the user may write, in a directory the user may not: in place.
    mkdir -m 755 ro_dir
    cp old.orig ro_dir/out.map
    chown 65534:65534 ro_dir/out.map
    expect "read-only directory" 0 "" nobody -h2 -oro_dir/out.map a.map
    same "read-only directory" ro_dir/out.map a_twice_cropped.map
    # A file the user may write but whose owner a new file could not get:
    # in place, so it stays root's.
    cp old.orig root.map
    chmod 666 root.map
    expect "root's file" 0 "" nobody -h2 -oroot.map a.map
    same "root's file" root.map a_twice_cropped.map
    [[ $(stat -c %u root.map) == 0 ]] || fail "root's file changed owner"
    # Replaced by root, another user's file keeps its owner, group and mode.
    cp old.orig theirs.map
    chown 65534:65534 theirs.map
    chmod 640 theirs.map
    expect "other user's file" 0 "" "$pavrin" -h2 -otheirs.map a.map
    same "other user's file" theirs.map a_twice_cropped.map
    [[ $(stat -c %u:%g:%a theirs.map) == 65534:65534:640 ]] ||
        fail "other user's file is now $(stat -c %u:%g:%a theirs.map)"
    # Replaced by their unprivileged owner, set-id files keep those bits.
    for mode in 4755 2755; do
        cp old.orig setid.map && chown 65534:65534 setid.map && chmod $mode setid.map
        expect "mode $mode" 0 "" nobody -osetid.map a.map
        [[ $(stat -c %a setid.map) == "$mode" ]] || fail "mode $mode: now $(stat -c %a setid.map)"
    done
    # A file bind-mounted over the name (in a mount namespace of its own, so
    # no mount outlives the test), and a file in an append-only folder, are
    # written in place.
    cp old.orig mounted.map && cp old.orig source.map
    if unshare -m mount --bind source.map mounted.map 2>/dev/null; then
        expect "bind mount" 0 "" unshare -m sh -c \
            "mount --bind source.map mounted.map && exec '$pavrin' -h2 -omounted.map a.map"
        same "bind mount" source.map a_twice_cropped.map
    else
        echo "skipped: bind mount not permitted"
    fi
    mkdir add_only && cp old.orig add_only/out.map
    if chattr +a add_only 2>/dev/null; then
        expect "append-only folder" 0 "" "$pavrin" -h2 -oadd_only/out.map a.map
        chattr -a add_only
        same "append-only folder" add_only/out.map a_twice_cropped.map
        [[ $(ls -A add_only) == out.map ]] || fail "append-only folder holds: $(ls -A add_only)"
    else
        echo "skipped: chattr +a not permitted"
    fi
    # Another user's link in a sticky world-writable folder is opened as
    # given, so the kernel's rule for such links applies: in place.
    mkdir -m 1777 shared && cp old.orig there.map && ln -s ../there.map shared/theirs.map
    chown -h 65534:65534 shared/theirs.map && inode=$(stat -c %i there.map)
    if [[ $(cat /proc/sys/fs/protected_symlinks) == 0 ]]; then
        expect "their link" 0 "" "$pavrin" -h2 -oshared/theirs.map a.map
        [[ $(stat -c %i there.map) == "$inode" ]] && same "their link" there.map a_twice_cropped.map ||
            fail "their link: the file it leads to was replaced"
    else
        echo "skipped: the kernel follows no such link (fs.protected_symlinks)"
    fi
    listing "unprivileged" a.map a_twice_cropped.map add_only big.map mounted.map old.orig ro.map \
        ro_dir root.map setid.map shared source.map there.map theirs.map
    [[ $(ls -A ro_dir) == out.map ]] || fail "read-only directory holds: $(ls -A ro_dir)"
    ;;
system_paths)
    # pavrin writes through /dev/stdout, /dev/full and the like in place. A
    # faulty build would replace them, so they are tried with a /dev of the
    # test's own, in a mount namespace of its own.
    [[ $(id -u) == 0 ]] || skip "not root, so no /dev of the test's own"
    unshare -m true 2>/dev/null || skip "no mount namespace of the test's own"
    unshare -m bash "$self" private_dev "$pavrin" "$bytes"
    exit
    ;;
private_dev)
    [[ $(readlink /proc/self/ns/mnt) != "$(readlink /proc/1/ns/mnt)" ]] || exit 2
    mount -t tmpfs -o mode=755 private-dev /dev
    mkdir -m 1777 /dev/shm && ln -s /proc/self/fd/1 /dev/stdout && mknod -m 666 /dev/full c 1 7
    mknod -m 666 /dev/null c 1 3
    ln -s /dev/stdout stdout.map
    for output in /dev/stdout stdout.map /proc/self/fd/1; do
        : >captured
        inode=$(stat -c %i captured)
        expect "$output" 0 "" eval '"$pavrin" -h2 -o$output a.map >captured'
        same "$output" captured a_twice_cropped.map
        [[ $(stat -c %i captured) == "$inode" ]] || fail "$output: the file behind it was replaced"
    done
    expect "/dev/full" 1 "pavrin: write error!" "$pavrin" -o/dev/full a.map
    # No descriptor above 2 free: nothing is created, not even in place.
    if starts_cramped; then
        expect "/dev/shm, no descriptor" 1 "pavrin: \`\`/dev/shm/new.map'' open error!" \
            cramped 3 0 /dev/shm/new.map
    fi
    [[ $(ls -A /dev/shm) == "" && $(readlink /dev/stdout) == /proc/self/fd/1 && -c /dev/full ]] ||
        fail "the test's own /dev changed: $(ls -l /dev /dev/shm)"
    rm captured stdout.map
    listing "system paths" a.map a_twice_cropped.map big.map old.orig
    ;;
*)
    echo "unknown group $group"
    exit 2
    ;;
esac
((failures == 0))
