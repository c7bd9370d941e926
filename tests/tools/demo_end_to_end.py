#!/usr/bin/env python3
"""The demo end to end: the runner on a cut of the recording, in a temporary folder on free ports.

Usage: demo_end_to_end.py BUILD_DIR [MINUTES]
Passes when the runner exits 0 (every check of trace-report held), the summary shows every
outcome the manifest gives within the cut, both PNGs were written and no process of the run is
left.
"""

import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
MANIFEST = REPO / "tools" / "demo" / "klax_manifest.json"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
# What the summary says of each outcome.
STORY = {"landed": "landed on {runway}", "parked": "parked at {stand}",
         "pushback": "pushed back from {stand}", "takeoff": "took off from {runway}",
         "overflew": "overflew at"}


def expected_stories(cut_s):
    """Per callsign, the summary texts of the outcomes reached before the cut."""
    manifest = json.loads(MANIFEST.read_text())
    stories = {}
    for a in manifest["aircraft"]:
        for outcome, t in a.get("outcomes", {}).items():
            if t < cut_s:
                stories.setdefault(a["callsign"], []).append(STORY[outcome].format(**a))
    return stories


def summary_lines(summary):
    """Per callsign, its line of the summary's table."""
    lines = {}
    for line in summary.splitlines():
        words = line.split()
        if words:
            lines.setdefault(words[0], line)
    return lines


def processes_naming(text):
    """Ids of the processes whose command line names `text`."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            if text.encode() in (entry / "cmdline").read_bytes():
                found.append(int(entry.name))
        except OSError:
            pass
    return found


def main():
    build = Path(sys.argv[1]).resolve()
    minutes = float(sys.argv[2]) if len(sys.argv) > 2 else 6.0
    failures = []
    with tempfile.TemporaryDirectory(prefix="zendrik-demo-") as tmp:
        out = Path(tmp) / "out"
        env = dict(os.environ)
        env.pop("DISPLAY", None)  # headless: the test must not open a window
        run = subprocess.run([sys.executable, str(REPO / "tools" / "demo" / "run_demo.py"),
                              "--out", str(out), "--minutes", str(minutes), "--free-ports",
                              "--tools", str(build / "tools"), "--install", str(build)], env=env)
        if run.returncode != 0:
            failures.append(f"the demo exited with {run.returncode}")
        summary_file = out / "summary.txt"
        summary = summary_file.read_text() if summary_file.exists() else ""
        if not summary:
            failures.append("no summary.txt")
        table = summary_lines(summary)
        for callsign, stories in expected_stories(minutes * 60.0).items():
            line = table.get(callsign, "")
            for story in stories:
                if story not in line:
                    failures.append(f"{callsign}: '{story}' not in its summary line '{line}'")
        for png in ("tracks.png", "window.png"):
            path = out / png
            if not path.exists() or path.read_bytes()[:8] != PNG_SIGNATURE:
                failures.append(f"{png} is missing or not a PNG")
        left = processes_naming(tmp)
        if left:
            failures.append(f"processes of the run are left: {left}")
        if failures:
            for name in ("summary.txt", "figures.txt"):
                if (out / name).exists():
                    print(f"---- {name}\n{(out / name).read_text()}")
            log = out / "Log.txt"
            if log.exists():
                print("---- the end of Log.txt\n" + "\n".join(log.read_text(errors="replace")
                                                         .splitlines()[-60:]))
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
