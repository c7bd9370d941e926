#!/usr/bin/env python3
"""The demo's runner in pieces: scripts/demo checks its options before the packages, the build
and the world, and the trace watcher tells parked aircraft from traffic that is still moving."""

import json
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools" / "demo"))
import run_demo  # noqa: E402


class OptionsBeforeTheBuild(unittest.TestCase):
    """A `cmake` on PATH that leaves a mark shows whether a build was started."""

    def run_demo(self, *options):
        with tempfile.TemporaryDirectory() as tmp:
            stub = Path(tmp) / "bin" / "cmake"
            stub.parent.mkdir()
            stub.write_text(f"#!/bin/sh\ntouch {tmp}/built\nexit 1\n")
            stub.chmod(0o755)
            env = dict(os.environ, PATH=f"{stub.parent}:{os.environ['PATH']}")
            options = [o.replace("TMP", tmp) for o in options]
            run = subprocess.run([str(REPO / "scripts" / "demo"), *options], env=env,
                                 capture_output=True, text=True, timeout=60)
            return run, (Path(tmp) / "built").exists(), (Path(tmp) / "out").exists()

    def test_help_is_all_it_does(self):
        run, built, _ = self.run_demo("--help")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(run.stdout.startswith("usage: scripts/demo"), run.stdout)
        self.assertFalse(built)

    def test_refused_options_stop_before_anything(self):
        cases = [(["--bogus"], "unrecognized arguments"),
                 (["--minutes", "0"], "--minutes must be positive"),
                 (["--out", "TMP/out", "--traffic", "TMP/none.rttfc"], "is not a file"),
                 (["--out", str(REPO / "scripts")], "not a demo's output folder")]
        for options, message in cases:
            with self.subTest(options=options):
                run, built, laid_out = self.run_demo(*options)
                self.assertEqual(run.returncode, 2)
                self.assertIn("usage: scripts/demo", run.stderr)
                self.assertIn(message, run.stderr)
                self.assertFalse(built)
                self.assertFalse(laid_out)


def created(t, key, tail):
    return {"kind": "created", "t": t, "id": key, "tail_number": tail}


def frame(t, *objects):
    return {"kind": "frame", "t": t, "objects": [
        {"id": key, "lat": lat, "lon": -118.4, "on_ground": ground} for key, lat, ground in objects]}


class ParkedAircraftLeft(unittest.TestCase):
    """Object 1 taxies until t = 40 s and then stands; object 2 stands from the start; object 3
    flies."""

    def watcher_after(self, entries):
        with tempfile.TemporaryDirectory() as tmp:
            trace = Path(tmp) / "trace.jsonl"
            trace.write_text("".join(json.dumps(e) + "\n" for e in entries))
            watcher = run_demo.TraceWatcher(trace)
            return watcher.only_parked_left()

    def story(self, until):
        entries = [created(0.0, 1, "AAL12"), created(0.0, 2, "N123*")]
        for k in range(int(until) + 1):
            taxiing = 33.94 + 1e-4 * min(k, 40)
            entries.append(frame(float(k), (1, taxiing, True), (2, 33.95, True)))
        return entries

    def test_table(self):
        cases = [("a taxiing aircraft is not parked", self.story(39), False),
                 ("standing 20 s is not yet parked", self.story(60), False),
                 ("standing 30 s is parked", self.story(70), True),
                 ("a flying aircraft is never parked",
                  self.story(70) + [created(70.5, 3, "UAL9"), frame(71.0, (3, 33.9, False))] +
                  [frame(71.0 + k, (1, 33.944, True), (2, 33.95, True), (3, 33.9, False))
                   for k in range(40)], False),
                 ("nothing left", [created(0.0, 1, "AAL12"),
                                   {"kind": "removed", "t": 5.0, "id": 1}], True)]
        for what, entries, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.watcher_after(entries), expected)


if __name__ == "__main__":
    unittest.main()
