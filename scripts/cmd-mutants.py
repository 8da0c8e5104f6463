#!/usr/bin/env python3
"""Faults planted in the orvane command, one at a time, that its unit tests
must catch.

Each mutant replaces one piece of text in tools/orvane/ (it must occur exactly
once), rebuilds the command and the test program expected to catch it, runs
that program and puts the source back. A mutant the expected program misses is
tried on every test program of the command before it counts as survived.

    scripts/cmd-mutants.py [--tree DIR] [--build DIR] [NAME ...]

DIR is a worktree with a configured build folder (default: this one and its
build-dbg). Prints one line per mutant: caught (and by which tests), SURVIVED,
NOT APPLIED (its text is no longer there) or BUILD FAILED; exits 1 unless every
mutant was caught.
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys
import time

# The command's test programs, tried in turn for a mutant its own one misses.
TESTS = """ApplyCommandTest BackupTest BackupsCommandTest BmcAccessTest BuildJsonCommandTest
CommandTableTest FileOperandTest FleetTest HostListTest ImageCheckTest JsonWriterTest
OrvaneCommandTest OrvaneImagesTest PasswordPromptTest PositionsTest RelayoutTest
SafeCommitTest SalvageTest SpellingTest""".split()

# name, file under tools/orvane, text, replacement, the test program expected to catch it
MUTANTS = [
    ("gap-layout-allowed", "device/LayoutGuard.cpp",
     "if (area.headerOffset != area.commitOffset)",
     "if (false && area.headerOffset != area.commitOffset)", "SafeCommitTest"),
    ("rollback-skipped", "device/SafeCommit.cpp",
     "WriteRuns(address, backup.raw, RunsOf(changed))",
     "WriteRuns(address, backup.raw, Runs{})", "SafeCommitTest"),
    ("raw-write-every-byte", "device/SafeCommit.cpp",
     "e.written[i] = i >= backup.raw.size() || image[i] != backup.raw[i];",
     "e.written[i] = true;", "SalvageTest"),
    ("run-one-byte-too-many", "device/SafeCommit.cpp",
     "runs.emplace_back(i, end);",
     "runs.emplace_back(i, std::min<uint32_t>(end + 1, static_cast<uint32_t>(marks.size())));",
     "SalvageTest"),
    ("backup-not-kept", "device/SafeCommit.cpp",
     "    backup.Keep();\n    const uint32_t status = write();",
     "    const uint32_t status = write();",
     "OrvaneCommandTest"),
    ("disagreeing-reads-taken", "device/Backup.cpp",
     "if (!status && first == second) {", "if (!status) {", "SafeCommitTest"),
    ("bad-image-admitted", "device/ImageCheck.cpp",
     "if (!o.force)\n        return Report::Refused(_(\"refusing to write %s: %s;",
     "if (!o.force && false)\n        return Report::Refused(_(\"refusing to write %s: %s;",
     "ImageCheckTest"),
    ("move-not-named", "device/ImageCheck.cpp",
     "if (was->offset != is->offset)", "if (false)", "ImageCheckTest"),
    ("write-dry-run-writes", "cmd/WriteCommand.cpp",
     "if (o.dryRun)\n        return ImageCheck::DryRun(address, image);",
     "if (o.dryRun && false)\n        return ImageCheck::DryRun(address, image);",
     "ImageCheckTest"),
    ("unread-position-written", "cmd/CommandSupport.cpp",
     "if (slot && !slot->index && write && Positions::IsPosition(designation))",
     "if (false && slot && !slot->index && write)", "PositionsTest"),
    ("scan-partial-is-ok", "cmd/ScanCommand.cpp",
     "Unreadable::Any(slots) ? kExitPartial : kExitOk",
     "Unreadable::Any(slots) ? kExitOk : kExitOk", "PositionsTest"),
    ("backup-origin-ignored", "device/Backup.cpp",
     "if (r.origin == origin && r.address == address)", "if (r.address == address)",
     "BackupTest"),
    ("prune-keeps-one-more", "cmd/BackupsCommand.cpp",
     "kept < *keep", "kept <= *keep", "BackupsCommandTest"),
    ("restore-sizes-unchecked", "cmd/RestoreCommand.cpp",
     "if (Footprint(*d) != Footprint(*f))", "if (Footprint(*d) != Footprint(*f) && false)",
     "OrvaneCommandTest"),
    ("repair-refusal-dropped", "cmd/RepairCommand.cpp",
     "if (!plan.refusals.empty())", "if (false)", "SalvageTest"),
    ("apply-dry-run-writes", "cmd/ApplyCommand.cpp",
     "if (!changes.empty() && !o.dryRun) {", "if (!changes.empty()) {", "ApplyCommandTest"),
    ("internal-data-one-too-long", "input/FruInput.cpp",
     "if (data->size() > ImageLayout::kMaxAreaBytes)",
     "if (data->size() > ImageLayout::kMaxAreaBytes + 1)", "BuildJsonCommandTest"),
    ("option-misfit-ignored", "cmd/CommandTable.cpp",
     "if (!Takes(command, option))", "if (!Takes(command, option) && false)",
     "CommandTableTest"),
    ("grow-past-device", "device/Relayout.cpp",
     "if (newEnd > capacity) {", "if (newEnd > capacity + 8) {", "RelayoutTest"),
    ("privilege-unchecked", "app/BmcAccess.cpp",
     "Rank(o.privilege) < Rank(leastPrivilege)", "Rank(o.privilege) < 0", "BmcAccessTest"),
    ("host-padding-lost", "fleet/HostList.cpp",
     "low.size() > 1 && low[0] == '0'", "low.size() > 1 && low[0] == 'x'", "HostListTest"),
    ("fanout-exceeded", "fleet/Fleet.cpp",
     "running.size() < fanout", "running.size() <= fanout", "FleetTest"),
    ("json-arrays-joined", "view/JsonWriter.cpp",
     'out += first ? "" : listed ? "," : ", ";', 'out += first ? "" : ",";', "JsonWriterTest"),
    ("spelling-too-loose", "view/Spelling.cpp",
     "std::max<size_t>(1, t.size() / 3)", "std::max<size_t>(3, t.size() / 3)", "SpellingTest"),
    ("password-echoed", "app/PasswordPrompt.cpp",
     "~static_cast<tcflag_t>(ECHO | ECHONL)", "~static_cast<tcflag_t>(ECHONL)",
     "PasswordPromptTest"),
    ("dc-standby-inverted", "decode/MultiRecords.cpp",
     'r.U8(0) & 0x80 ? _("yes") : _("no")', 'r.U8(0) & 0x80 ? _("no") : _("yes")',
     "OrvaneImagesTest"),
    ("free-bytes-one-more", "view/Render.cpp",
     'a["free_bytes"] = FruViews::Room(area);', 'a["free_bytes"] = FruViews::Room(area) + 1;',
     "BuildJsonCommandTest"),
    ("sdr-record-claimed", "view/Render.cpp",
     'f["sdr_record"] = false;', 'f["sdr_record"] = true;', "PositionsTest"),
]


def run(cmd, cwd, env=None, quiet=True):
    return subprocess.run(cmd, cwd=cwd, env=env, text=True, capture_output=quiet)


def failures(build, test):
    """The failing test cases of one test program (its name when it crashed)."""
    env = dict(os.environ, ORVANE_DATA_DIR=str(build))
    r = run([str(build / test), "--gtest_brief=1"], build, env)
    if r.returncode == 0:
        return []
    failed = sorted(set(re.findall(r"^\[  FAILED  \] (\w+\.\w+)", r.stdout, re.M)))
    return failed or [test + " (exit %d)" % r.returncode]


def build_targets(tree, build, targets):
    r = run(["nice", "-n", "5", "cmake", "--build", str(build), "-j2", "--target", "orvane"] +
            targets, tree)
    return r.returncode == 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--tree", default=pathlib.Path(__file__).resolve().parent.parent)
    p.add_argument("--build")
    p.add_argument("names", nargs="*")
    a = p.parse_args()
    tree = pathlib.Path(a.tree).resolve()
    build = pathlib.Path(a.build).resolve() if a.build else tree / "build-dbg"
    survived = 0
    for name, file, old, new, test in MUTANTS:
        if a.names and name not in a.names:
            continue
        path = tree / "tools" / "orvane" / file
        source = path.read_text()
        start = time.time()
        if source.count(old) != 1:
            print(f"{name:28} NOT APPLIED ({file}: its text occurs {source.count(old)} times)")
            survived += 1
            continue
        try:
            path.write_text(source.replace(old, new))
            if not build_targets(tree, build, [test]):
                verdict = "BUILD FAILED"
            else:
                caught = failures(build, test)
                if not caught and build_targets(tree, build, TESTS):
                    for other in TESTS:
                        if other != test and (caught := failures(build, other)):
                            break
                verdict = "caught by " + ", ".join(caught) if caught else "SURVIVED"
        finally:
            path.write_text(source)
            os.utime(path)
        survived += not verdict.startswith("caught")
        print(f"{name:28} {verdict}  [{time.time() - start:.0f}s]", flush=True)
    build_targets(tree, build, [])
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
