#!/usr/bin/env bash
# Checks that the tests catch the faults in scripts/mutations.txt (of the
# library and of the command):
# each mutation is applied alone to a copy of the working tree (in .mutation/,
# built in its own build-dbg, so the shared compiler cache serves it), the test
# programs named for it are built and run, and the mutation counts as caught
# when at least one of them fails.
#
# Usage: scripts/mutation-check.sh [ID...]   (no ID: every mutation)
# With MUTATIONS=<file>, the mutations are read from that file instead.
# With TESTS_REV=<commit>, the copy's tests/ are those of that commit (to see
# what an earlier suite caught); otherwise those of the working tree.
# Prints one line a mutation: its id, CAUGHT or MISSED, and the failing tests.
# Exits non-zero when a mutation is missed, does not apply or does not build.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
copy=${MUTATION_DIR:-$root/.mutation}
build=$copy/build-dbg
jobs=${JOBS:-2}
list=${MUTATIONS:-$root/scripts/mutations.txt}
# The copy lies inside the tree, so the tests would not find the FRU image
# corpus beside it: they are told where the tree's own one lies.
if [ -z "${ORVANE_CORPUS_DIR:-}" ] && [ -d "$root/../shared/corpus" ]; then
    export ORVANE_CORPUS_DIR
    ORVANE_CORPUS_DIR=$(cd "$root/../shared/corpus" && pwd)
fi

# The copy follows the working tree; a file is copied only when its content
# differs, with a new time, so the build sees exactly the changed files.
sync_copy() {
    (cd "$root" && git ls-files -co --exclude-standard) | while IFS= read -r f; do
        [ -f "$root/$f" ] || continue
        if ! cmp -s "$root/$f" "$copy/$f"; then
            mkdir -p "$copy/$(dirname "$f")"
            cp "$root/$f" "$copy/$f"
        fi
    done
}

# Puts the content of stdin into the copy's file when it differs.
put() {
    local tmp
    tmp=$(mktemp)
    cat >"$tmp"
    if cmp -s "$tmp" "$copy/$1"; then rm -f "$tmp"; else mkdir -p "$copy/$(dirname "$1")" && mv "$tmp" "$copy/$1"; fi
}

mkdir -p "$copy"
sync_copy
if [ -n "${TESTS_REV:-}" ]; then
    keep=$(cd "$root" && git ls-tree -r --name-only "$TESTS_REV" tests)
    (cd "$copy" && find tests -type f) | while IFS= read -r f; do
        grep -qxF "$f" <<<"$keep" || rm -f "$copy/$f"
    done
    for f in $keep; do
        (cd "$root" && git show "$TESTS_REV:$f") | put "$f"
    done
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$copy" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DORVANE_TESTS=ON \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null || exit 2
fi

status=0
while IFS=$'\t' read -r id file script tests; do
    case "$id" in '' | '#'*) continue ;; esac
    if [ $# -gt 0 ] && [[ " $* " != *" $id "* ]]; then
        continue
    fi
    sed -e "$script" "$root/$file" >"$copy/$file"
    if cmp -s "$root/$file" "$copy/$file"; then
        echo "$id NOT-APPLIED ($file unchanged)"
        status=1
        continue
    fi
    log=$copy/$id.log
    # shellcheck disable=SC2086
    if ! nice -n 5 cmake --build "$build" -j"$jobs" --target $tests >"$log" 2>&1 </dev/null; then
        echo "$id NO-BUILD (see $log)"
        status=1
    else
        failed=""
        for t in $tests; do
            if ! ctest --test-dir "$build" -R "^$t\$" --no-tests=error --timeout 600 \
                >>"$log" 2>&1 </dev/null; then
                failed="$failed $t"
            fi
        done
        if [ -n "$failed" ]; then
            echo "$id CAUGHT by$failed"
        else
            echo "$id MISSED (ran $tests)"
            status=1
        fi
    fi
    cp "$root/$file" "$copy/$file"
done <"$list" # the tests read no line of it: their input is /dev/null
exit $status
