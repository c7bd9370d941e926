#!/usr/bin/env python3
"""The table's reading of each role on rows made up here: the tick loop by its lateness, each
share against its own thread's budget, and a baseline slower than the work it bounds flagged."""
import json
import tempfile
import unittest
from pathlib import Path

import bench_table


def row(name, label, real_time, unit="us", **counters):
    return {"name": name, "run_name": name, "run_type": "iteration", "label": label,
            "real_time": real_time, "cpu_time": real_time, "time_unit": unit, **counters}


class Table(unittest.TestCase):
    def lines(self, *rows):
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "made_up_bench.json"
            path.write_text(json.dumps({"benchmarks": list(rows)}))
            loaded = bench_table.load_rows(str(path))
        return {line[0].split(": ", 1)[-1]: line for line in bench_table.table_lines(loaded)[1:]}

    def test_tick_loop_by_its_lateness(self):
        line = self.lines(row("BM_TickLateness/300", "lateness", 1000.0, unit="ms",
                              late_mean_us=52.0, late_p99_us=140.0, behind_share=0.01))
        figure, baseline, ratio = line["BM_TickLateness/300"][1:4]
        self.assertEqual(figure, "late mean 52 us, p99 140 us")
        self.assertEqual(baseline, "the worker's 10 ms tick")
        self.assertEqual(ratio, "p99 1.4 % of tick, 1 % behind")

    def test_each_share_of_its_threads_budget(self):
        lines = self.lines(row("BM_FullWindowPaint", "share:gui_frame", 1666.6667),
                           row("BM_PumpPass/0", "share:simclient_pass", 33300.0),
                           row("BM_PumpPass/1", "share:simclient_pass", 500.0),
                           row("BM_EngineStep", "share:worker_tick", 100.0, per_period=2.0))
        self.assertEqual(lines["BM_FullWindowPaint"][2:4],
                         ("a 60 Hz frame of the GUI thread", "10 %"))
        self.assertEqual(lines["BM_PumpPass/0"][2:4], ("SimClient's 1 ms pass", "3330 %"))
        self.assertEqual(lines["BM_PumpPass/1"][2:4], ("SimClient's 1 ms pass", "50 %"))
        self.assertEqual(lines["BM_EngineStep"][2:4], ("the worker's 10 ms tick / 2", "2 %"))

    def test_the_fastest_baseline_on_at_most_as_many_workers(self):
        lines = self.lines(row("BM_Write/1", "baseline", 18.0, workers=1),
                           row("BM_Write/2", "baseline", 33.0, workers=2),
                           row("BM_Write/0", "baseline", 54.0, workers=8),
                           row("BM_Scan/1", "vs:BM_Write", 95.0, workers=1),
                           row("BM_Scan/2", "vs:BM_Write", 29.0, workers=2),
                           row("BM_Send/1000", "vs:BM_Bytes/1000", 2470.0),
                           row("BM_Bytes/1000/0", "baseline", 8700.0),
                           row("BM_Bytes/1000/1", "baseline", 1660.0))
        self.assertEqual(lines["BM_Scan/1"][2:4], ("18 us (BM_Write/1)", "5.28x"))
        self.assertEqual(lines["BM_Scan/2"][2:4], ("18 us (BM_Write/1)", "1.61x"))
        self.assertEqual(lines["BM_Send/1000"][2:4], ("1.66 ms (BM_Bytes/1000/1)", "1.49x"))

    def test_a_baseline_slower_than_the_work_is_flagged(self):
        lines = self.lines(row("BM_Base", "baseline", 100.0), row("BM_Work", "vs:BM_Base", 87.0),
                           row("BM_Other", "vs:BM_Base", 150.0))
        self.assertEqual(lines["BM_Work"][3], "0.87x (baseline no lower bound)")
        self.assertEqual(lines["BM_Other"][3], "1.50x")


if __name__ == "__main__":
    unittest.main()
