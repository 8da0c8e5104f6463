#!/usr/bin/env bash
# Shows that two builds of Orvane behave the same where a caller can see it:
# runs one fixed set of orvane commands with each build, on a copy of the demo
# system and on every image of the corpus, and compares what each left behind,
# byte for byte: standard output, standard error and exit code of every
# command, the simulator's request log of every command (the conversation with
# the BMC), the debug log (trace lines), configuration files, dumps, backups,
# the device images afterwards, and the built catalogues.
#
#   scripts/same-output.sh OLD_BUILD NEW_BUILD [CORPUS_DIR]
#
# OLD_BUILD and NEW_BUILD are build folders that hold orvane, the simulated
# BMC module and the catalogues (e.g. a build of the previous commit and one of
# the current tree). CORPUS_DIR defaults to ../shared/corpus. Exit 0 when
# every file is the same, 1 with the differences listed otherwise.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OLD_BUILD NEW_BUILD [CORPUS_DIR]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
corpus=${3:-$root/../shared/corpus}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work=$tmp/work # the same path for both builds, so paths in messages agree

# One command: its output, error, exit code and request log, under a name.
run() {
  local name=$1
  shift
  : >"$work/sim.log"
  rm -f "$work/DBGLOG.txt"
  local rc=0
  (cd "$work" && "$bin/orvane" "$@" >"$out/$name.out" 2>"$out/$name.err") || rc=$?
  echo "$rc" >"$out/$name.rc"
  cp "$work/sim.log" "$out/$name.sim"
  if [ -f "$work/DBGLOG.txt" ]; then
    cp "$work/DBGLOG.txt" "$out/$name.dbglog"
  fi
}

capture() {
  bin=$1
  out=$2
  mkdir -p "$out"
  rm -rf "$work"
  mkdir -p "$work/bk"  # a backup folder for each writing command
  cp -r "$root/examples/demo-system" "$work/"
  export ORVANE_SIM_LOG=$work/sim.log ORVANE_DATA_DIR=$bin
  unset ORVANE_IPMI_HOST LANG LC_ALL LC_MESSAGES || true
  local sys=(--system demo-system/system.json)
  run scan "${sys[@]}" scan
  run scan-json "${sys[@]}" scan --json
  run show "${sys[@]}" show
  run show-json "${sys[@]}" show --json
  run show-de "${sys[@]}" --lang de --locale de show
  run props "${sys[@]}" props
  run props-json "${sys[@]}" props --json
  run check "${sys[@]}" check 2:0:20:FF:20:00
  run trace "${sys[@]}" --debug-level 3 scan
  run trace-props "${sys[@]}" --debug-level 3 props
  run trace-save "${sys[@]}" --debug-level 3 save 0 trace.cfg
  local n
  for n in 0 1 2 3 4; do
    run "show-$n" "${sys[@]}" show "$n"
    run "save-$n" "${sys[@]}" save "$n" "fru$n.cfg"
    run "load-$n" "${sys[@]}" load "fru$n.cfg"
    run "dump-$n" "${sys[@]}" dump "$n" "fru$n.bin"
  done
  local f
  for f in board.manufacturer board.mfg_date product.asset_tag chassis.type chassis.custom.1 \
    internal.data board.serial_number; do
    run "get-0-$f" "${sys[@]}" get 0 "$f"
    run "get-Mainboard-$f" "${sys[@]}" get Mainboard "$f"
  done
  run set-commit "${sys[@]}" --backup-dir bk/set-commit set 0 board.serial_number SN-SAME-01 --commit
  run set-grow-dry "${sys[@]}" --backup-dir bk/set-grow-dry set 0 board.product_name "A much longer product name than before" \
    --commit --grow --dry-run
  run set-grow "${sys[@]}" --backup-dir bk/set-grow set 0 board.product_name "A much longer product name than before" \
    --commit --grow
  run set-save "${sys[@]}" set 1 product.asset_tag TAG-1 --save tag.cfg
  run set-refused "${sys[@]}" --backup-dir bk/set-refused set 0 board.serial_number "$(printf 'X%.0s' $(seq 1 80))" --commit
  run restore-cfg "${sys[@]}" --backup-dir bk/restore-cfg restore fru1.cfg
  run write-bin "${sys[@]}" --backup-dir bk/write-bin write 0 fru0.bin
  run show-after "${sys[@]}" show --json
  # Writes that the device refuses after the first request (rolled back, or
  # told that they could not be), and writes with their progress shown.
  run dump-after "${sys[@]}" dump 0 grown.bin
  cp -r "$root/examples/demo-system" "$work/faulty-system"
  sed -i '0,/^{/s//{ "faults": [ { "match": { "netfn": "0x0A", "command": "0x12" }, "completion_code": "0xD5", "skip": 1 } ],/' \
    "$work/faulty-system/system.json"
  local faulty=(--system faulty-system/system.json)
  run failed-write "${faulty[@]}" --progress --backup-dir bk/failed-write write 0 grown.bin
  run failed-set "${faulty[@]}" --progress --backup-dir bk/failed-set set 1 product.asset_tag TAG-F --commit
  run progress-set "${sys[@]}" --progress --backup-dir bk/progress-set set 1 product.asset_tag TAG-P --commit
  run progress-write "${sys[@]}" --progress --backup-dir bk/progress-write write 0 fru0.bin
  run trace-commit "${sys[@]}" --debug-level 3 --backup-dir bk/trace-commit set 3 chassis.serial_number CH-TRACE product.asset_tag TAG-T --commit
  run bad-command "${sys[@]}" frobnicate
  run bad-fru "${sys[@]}" show 9
  for f in "$corpus"/*.bin; do
    n=$(basename "$f" .bin)
    run "image-$n" show --image "$f"
    run "image-json-$n" show --image "$f" --json
    run "image-strict-$n" show --image "$f" --strict
    run "image-get-$n" get --image "$f" board.serial_number
    run "image-save-$n" save --image "$f" "image-$n.cfg"
    run "image-trace-$n" --debug-level 3 show --image "$f"
  done
  # The files the commands left: configuration files, dumps, backups, images.
  mkdir -p "$out/files"
  (cd "$work" && find . -type f ! -name sim.log ! -name DBGLOG.txt | sort | while read -r p; do
    mkdir -p "$out/files/$(dirname "$p")"
    cp "$p" "$out/files/$p"
  done)
  mkdir -p "$out/catalogues"
  (cd "$bin" && find . -path '*/orvane/str/orvane.str' | while read -r p; do
    mkdir -p "$out/catalogues/$(dirname "$p")"
    cp "$p" "$out/catalogues/$p"
  done)
}

# Backup names and origin records carry the time, and saves go through
# temporary folders: all are written as fixed words, in file names and in
# every text, so that two runs compare.
normalize() {
  local dir=$1 p q
  find "$dir" -depth -name '*[0-9]T[0-9]*Z*' | while read -r p; do
    q=$(dirname "$p")/$(basename "$p" | sed -E 's/[0-9]{8}T[0-9]{6}Z/TIME/')
    mv "$p" "$q"
  done
  find "$dir" -type f -print0 | xargs -0 sed -i -E \
    -e 's/[0-9]{8}T[0-9]{6}Z/TIME/g' -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z/TIME/g' \
    -e 's#/tmp/orvane-[A-Za-z0-9]{6}#/tmp/orvane-TMP#g'
}

capture "$old" "$tmp/old"
capture "$new" "$tmp/new"
normalize "$tmp/old"
normalize "$tmp/new"
count=$(find "$tmp/old" -type f | wc -l)
if diff -r "$tmp/old" "$tmp/new" >"$tmp/diff.txt"; then
  echo "same: $count files (outputs, errors, exit codes, request logs, debug logs, files, catalogues)"
else
  echo "differ: $(grep -c '^\(diff\|Only\)' "$tmp/diff.txt") of $count files"
  head -c 20000 "$tmp/diff.txt"
  exit 1
fi
