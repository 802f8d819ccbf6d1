#!/usr/bin/env python3
"""Mutation check: applies each one-line mutant of mutants.txt to a scratch copy of the
tree, rebuilds it incrementally and runs the fast tests; a mutant some test fails on is
killed. Prints killed / survived / equivalent / not applicable and the score.

Each mutant first meets one folder's tests (the folder whose tests killed it last time,
else the one named like its source folder), built and run alone; only a mutant those
tests miss gets the whole build and the whole suite, so a survivor is judged by
everything and a kill costs one test program.

Usage: tests/mutation/mutate.py [--only TEXT] [--scratch DIR] [--jobs N]
The scratch copy and its build stay in build-mutation/ between runs, so a second run only
rebuilds what the mutants touch.
"""
import argparse
import json
import os
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
MUTANTS = Path(__file__).resolve().parent / "mutants.txt"
SEPARATOR = " @@ "


def read_mutants():
    """One mutant a line: file @@ original text @@ replacement [@@ equivalent: reason]."""
    mutants = []
    for number, line in enumerate(MUTANTS.read_text().splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = [f.strip() for f in line.split(SEPARATOR)]
        if len(fields) not in (3, 4) or not fields[1]:
            sys.exit(f"mutants.txt:{number}: expected 'file @@ original @@ replacement'")
        note = fields[3] if len(fields) == 4 else ""
        mutants.append({"file": fields[0], "old": fields[1], "new": fields[2],
                        "equivalent": note.startswith("equivalent"), "note": note,
                        "entry": number})
    return mutants


def interleave_folders(mutants):
    """Takes the folders in turn, so a run cut short has still sampled every one."""
    folders = {}
    for m in mutants:
        folders.setdefault(Path(m["file"]).parent.as_posix(), []).append(m)
    queues = list(folders.values())
    ordered = []
    while any(queues):
        for queue in queues:
            if queue:
                ordered.append(queue.pop(0))
    return ordered


def sync_tree(scratch):
    """Copies the tracked files into the scratch tree, touching only those that differ so
    the reused build stays incremental, and removes what is no longer tracked: a moved
    source left behind would still be globbed into the build."""
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.decode().split("\0")
    tracked = set(filter(None, files))
    if scratch.is_dir():
        for old in [p for p in scratch.rglob("*") if p.is_file() or p.is_symlink()]:
            if old.relative_to(scratch).as_posix() not in tracked:
                old.unlink()
    for name in sorted(tracked):
        source = ROOT / name
        if not source.is_file():
            continue
        target = scratch / name
        data = source.read_bytes()
        if target.is_file() and target.read_bytes() == data:
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        target.chmod(source.stat().st_mode)


# Source folders whose tests live in a folder of another name.
TEST_FOLDER_OF = {"growth": "simulation", "views": "display"}


def build(tree, build_dir, jobs, target=None):
    chosen = ["--target", target] if target else []
    result = subprocess.run(["cmake", "--build", str(build_dir), "-j", str(jobs)] + chosen,
                            capture_output=True, text=True)
    return result.returncode == 0, result.stdout + result.stderr


def test_labels(build_dir):
    """Each test's folder label, as tests/CMakeLists.txt gives it."""
    listing = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build_dir, check=True,
                             capture_output=True, text=True).stdout
    labels = {}
    for test in json.loads(listing).get("tests", []):
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS" and prop.get("value"):
                labels[test["name"]] = prop["value"][0]
    return labels


def run_tests(build_dir, jobs, every=False, label=None):
    """The failing tests' names; empty when all pass. Stops at the first failure unless
    `every` asks for the full list; `label` runs one folder's tests only."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    stop = [] if every else ["--stop-on-failure"]
    only = ["-L", f"^{label}$"] if label else []
    result = subprocess.run(["ctest", "-j", str(jobs), "--timeout", "120"] + stop + only,
                            cwd=build_dir, env=env, capture_output=True, text=True)
    if result.returncode == 0:
        return []
    summary = result.stdout.partition("The following tests FAILED:")[2]
    failed = [line.split(" - ", 1)[1].rsplit(" (", 1)[0].strip()
              for line in summary.splitlines() if " - " in line]
    return failed or ["(tests failed)"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", action="append",
                        help="run only mutants whose line contains this text (repeatable)")
    parser.add_argument("--every-test", action="store_true",
                        help="run every test on each mutant and list all that fail")
    parser.add_argument("--scratch", default=str(ROOT / "build-mutation"))
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    scratch = Path(args.scratch).resolve()
    tree = scratch / "tree"
    build_dir = scratch / "build"
    sync_tree(tree)
    # Paths relative to the scratch tree let ccache share its objects between scratch copies.
    os.environ.setdefault("CCACHE_BASEDIR", str(tree))
    subprocess.run(["cmake", "-S", str(tree), "-B", str(build_dir), "-DVELTMOOR_BUILD_GUI=OFF",
                    "-DBUILD_TESTING=ON",
                    # Each mutant relinks every program; gold links them much faster.
                    "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold"], check=True, capture_output=True)
    ok, log = build(tree, build_dir, args.jobs)
    if not ok:
        sys.exit("mutation: the unmutated tree does not build\n" + log[-3000:])
    failing = run_tests(build_dir, args.jobs, every=True)
    if failing:
        sys.exit("mutation: the unmutated tree fails " + ", ".join(failing) +
                 "; a mutant could not be told from that")

    labels = test_labels(build_dir)
    known_labels = set(labels.values())
    killers_file = scratch / "killers.json"
    killers = json.loads(killers_file.read_text()) if killers_file.is_file() else {}

    def first_label(m):
        """The folder whose tests killed this mutant before, else its source folder's."""
        key = SEPARATOR.join((m["file"], m["old"], m["new"]))
        if killers.get(key) in known_labels:
            return killers[key]
        folder = Path(m["file"]).parts[1] if len(Path(m["file"]).parts) > 2 else ""
        folder = TEST_FOLDER_OF.get(folder, folder)
        return folder if folder in known_labels else None

    mutants = interleave_folders(read_mutants())
    if args.only:
        mutants = [m for m in mutants
                   if any(text in " ".join((m["file"], m["old"], m["new"])) for text in args.only)]
    tally = {"killed": 0, "survived": 0, "equivalent": 0, "not applicable": 0,
             "does not build": 0}
    survivors = []
    for index, m in enumerate(mutants, 1):
        label = f"[{index:2}/{len(mutants)}] {m['file']}: {m['old']}  ->  {m['new']}"
        if m["equivalent"]:
            tally["equivalent"] += 1
            print(f"{label}\n        equivalent ({m['note']})", flush=True)
            continue
        path = tree / m["file"]
        original = path.read_text() if path.is_file() else ""
        at = original.find(m["old"])
        if at < 0:
            tally["not applicable"] += 1
            print(f"{label}\n        not applicable: the line was not found", flush=True)
            continue
        line = original.count("\n", 0, at) + 1
        started = time.time()
        path.write_text(original[:at] + m["new"] + original[at + len(m["old"]):])
        failed = []
        try:
            first = None if args.every_test else first_label(m)
            if first:
                built, _ = build(tree, build_dir, args.jobs, f"veltmoor_{first}_tests")
                failed = run_tests(build_dir, args.jobs, label=first) if built else []
            if not failed:
                built, _ = build(tree, build_dir, args.jobs)
                failed = run_tests(build_dir, args.jobs, args.every_test) if built else []
        finally:
            path.write_text(original)
        key = SEPARATOR.join((m["file"], m["old"], m["new"]))
        killer = next((labels[name] for name in failed if name in labels), None)
        if killer:
            killers[key] = killer
            killers_file.write_text(json.dumps(killers, indent=1, sort_keys=True))
        seconds = time.time() - started
        if not built:
            outcome = "does not build"
        elif failed:
            outcome = "killed"
        else:
            outcome = "survived"
            survivors.append(f"{m['file']}:{line}: {m['old']} -> {m['new']}")
        tally[outcome] += 1
        shown = failed if args.every_test else failed[:3]
        detail = f" by {', '.join(shown)}" if failed else ""
        print(f"{label}\n        line {line}: {outcome}{detail} ({seconds:.0f} s)", flush=True)

    build(tree, build_dir, args.jobs)  # leave the scratch build matching the tree
    scored = tally["killed"] + tally["survived"]
    score = 100.0 * tally["killed"] / scored if scored else 0.0
    print("\n" + ", ".join(f"{name} {count}" for name, count in tally.items()))
    for survivor in survivors:
        print(f"survived: {survivor}")
    print(f"score: {score:.1f} % of {scored} non-equivalent mutants killed "
          f"({time.strftime('%Y-%m-%d')})")


if __name__ == "__main__":
    main()
