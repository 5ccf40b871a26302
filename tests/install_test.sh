#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and uses what was installed:
# the tools on the installed sample data, the installed Make example with the
# installed fragment, the manual pages, the completion. The CMake package is
# used by tests/cmake_package_test.sh.
#
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
docs=$prefix/share/doc/quarnel-pavrin

for file in bin/quarnel bin/pavrin share/man/man1/quarnel.1 share/man/man1/pavrin.1 \
    share/man/man5/anm-cellmap.5 share/bash-completion/completions/quarnel \
    share/bash-completion/completions/pavrin share/zsh/site-functions/_quarnel \
    share/zsh/site-functions/_pavrin share/fish/vendor_completions.d/quarnel.fish \
    share/fish/vendor_completions.d/pavrin.fish share/doc/quarnel-pavrin/README.md \
    share/doc/quarnel-pavrin/examples/anm.h share/doc/quarnel-pavrin/examples/walk.anm \
    share/doc/quarnel-pavrin/examples/make/Makefile \
    share/cmake/quarnel-pavrin/quarnel-pavrin-config.cmake \
    share/cmake/quarnel-pavrin/quarnel-pavrin-config-version.cmake; do
    [[ -f $prefix/$file ]] || { echo "not installed: $file"; exit 1; }
done

# The installed tools work on the installed samples.
"$prefix/bin/quarnel" "$docs/examples/walk.anm" | grep -qx 'SEQ anm_walk_anm_seq\[1+1\] = {'
"$prefix/bin/pavrin" -x -o"$prefix/joined.map" "$docs/examples/left.map" "$docs/examples/right.map"
[[ $(od -An -tu1 -j4 -N2 "$prefix/joined.map" | tr -s ' ') == " 5 2" ]]
make -s -C "$docs/examples/make" OUT="$prefix/walk" \
    QUARNEL="$prefix/bin/quarnel" PAVRIN="$prefix/bin/pavrin" >/dev/null
"$prefix/walk/walk_demo" | grep -q '^walk.anm: 1 sprite group'

# fish finds the completion where it looks in the prefix, for the tools it
# finds there.
if command -v fish >/dev/null; then
    PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share fish -c 'complete -C "pavrin -"' | grep '^-x' >/dev/null
fi

# The pages render without a warning; without groff that is left unchecked.
command -v groff >/dev/null || { echo "skipped: groff is not installed, the pages are not checked"; exit 77; }
for page in man1/quarnel.1 man1/pavrin.1 man5/anm-cellmap.5; do
    warnings=$(groff -man -ww -z "$prefix/share/man/$page" 2>&1)
    [[ -z $warnings ]] || { echo "$page: $warnings"; exit 1; }
done
echo "install: ok"
