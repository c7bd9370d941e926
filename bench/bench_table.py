#!/usr/bin/env python3
"""The benchmarks' table, read from Google Benchmark's JSON output (roles: bench_table.h).

  bench_table.py table RESULT.json...       prints one table over every program's results
  bench_table.py run-once PROGRAM OUT.json  runs a benchmark program once per benchmark with a
                                            tiny minimum time and fails when a row failed or
                                            declares no role, or names a baseline it lacks
"""
import json
import os
import subprocess
import sys

# The budget of each thread whose work is shown as a share (bench_table.h, Budget).
BUDGETS = {"worker_tick": (10e6, "the worker's 10 ms tick"),
           "gui_frame": (1e9 / 60, "a 60 Hz frame of the GUI thread"),
           "simclient_pass": (1e6, "SimClient's 1 ms pass")}
TICK_NS = BUDGETS["worker_tick"][0]
NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


class Row:
    def __init__(self, program, entry):
        self.program = program
        self.name = entry["run_name"]
        self.label = entry.get("label", "")
        self.error = entry.get("error_message") if entry.get("error_occurred") else None
        unit = NS_PER_UNIT[entry.get("time_unit", "ns")]
        self.ns = entry.get("real_time", 0.0) * unit
        self.cpu_ns = entry.get("cpu_time", 0.0) * unit
        self.workers = int(entry.get("workers", 1))
        self.per_period = entry.get("per_period", 1.0)
        self.late_mean_us = entry.get("late_mean_us")
        self.late_p99_us = entry.get("late_p99_us")
        self.behind_share = entry.get("behind_share")
        self.megabytes = entry.get("megabytes")
        # A row timed step by step gives its median as the time and the 99th percentile apart.
        p99 = entry.get("p99_us")
        self.p99_ns = p99 * 1e3 if p99 is not None else None

    @property
    def base_name(self):
        """The name without Google Benchmark's timing suffixes."""
        return "/".join(p for p in self.name.split("/")
                        if p not in ("real_time", "manual_time", "process_time") and
                        not p.startswith("iterations:"))

    @property
    def whole_process_cpu(self):
        """The CPU time counts every thread of the process, not only the benchmark's own."""
        return "/process_time" in self.name

    @property
    def family(self):
        return self.name.split("/")[0]

    def role(self):
        if self.label in ("baseline", "lateness"):
            return self.label
        if self.label.startswith("vs:") and len(self.label) > 3:
            return "vs"
        if self.budget in BUDGETS:
            return "share"
        return None

    @property
    def budget(self):
        return self.label[len("share:"):] if self.label.startswith("share:") else None

    def figure(self):
        return self.megabytes if self.megabytes is not None else self.ns


def load_rows(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    program = os.path.basename(path).removesuffix(".json")
    entries = data.get("benchmarks", [])
    # With repetitions the median stands for the run; without, the single iteration row does.
    medians = [e for e in entries if e.get("aggregate_name") == "median"]
    chosen = medians or [e for e in entries if e.get("run_type", "iteration") == "iteration"]
    return [Row(program, e) for e in chosen]


def find_baseline(row, rows):
    """The fastest row of the baseline the row names, among those on at most the row's workers:
    each of them does the same work, and what fewer threads or another setting can do bounds the
    row as well, so only the fastest is a lower bound."""
    wanted = row.label[3:]
    named = [r for r in rows if r.program == row.program and r.role() == "baseline" and
             (r.base_name == wanted or r.base_name.startswith(wanted + "/"))]
    usable = [r for r in named if r.workers <= row.workers and not r.error and r.figure() > 0]
    return min(usable, key=lambda r: r.figure(), default=None)


def one_worker_row(row, rows):
    for r in rows:
        if r.program == row.program and r.family == row.family and r.workers == 1 and \
                r.role() == row.role():
            return r
    return None


def show_time(ns):
    for unit, size in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= size:
            return f"{ns / size:.3g} {unit}"
    return f"{ns:.3g} ns"


def show_figure(row):
    if row.megabytes is not None:
        return f"{row.megabytes:.1f} MB"
    if row.role() == "lateness":
        return (f"late mean {show_time(row.late_mean_us * 1e3)}, "
                f"p99 {show_time(row.late_p99_us * 1e3)}")
    if row.p99_ns is not None:
        return f"median {show_time(row.ns)}, p99 {show_time(row.p99_ns)}"
    return show_time(row.ns)


def percent(part, whole):
    value = 100.0 * part / whole
    return f"{value:.3g} %" if value < 100 else f"{value:.0f} %"


def budget_share(row):
    budget_ns = BUDGETS[row.budget][0]
    share = percent(row.ns * row.per_period, budget_ns)
    if row.p99_ns is not None:
        share += f", p99 {percent(row.p99_ns * row.per_period, budget_ns)}"
    return share


def lateness_share(row):
    return (f"p99 {percent(row.late_p99_us * 1e3, TICK_NS)} of tick, "
            f"{percent(row.behind_share, 1.0)} behind")


def show_ratio(row, base):
    """A baseline is a lower bound: a ratio below 1 says the baseline is not one."""
    ratio = row.figure() / base.figure()
    return f"{ratio:.2f}x" + (" (baseline no lower bound)" if ratio < 1 else "")


def efficiency(row, rows):
    """Time on one worker / (time on N workers x N), against the row of the same family."""
    if row.workers <= 1 or row.megabytes is not None or row.error or row.ns <= 0:
        return "-"
    single = one_worker_row(row, rows)
    if single is None:
        return "-"
    return f"{100.0 * single.ns / (row.ns * row.workers):.0f} %"


def show_cpu_ratio(row, base):
    """CPU time over the baseline's, where both count every thread of the process (steadier than
    the time on a machine that other work shares)."""
    comparable = row.whole_process_cpu and base.whole_process_cpu
    if row.megabytes is not None or not comparable or base.cpu_ns <= 0:
        return "-"
    return f"{row.cpu_ns / base.cpu_ns:.2f}x"


def table_lines(rows):
    header = ("what", "figure", "baseline", "ratio", "cpu ratio", "threads", "par. eff.",
              "base eff.")
    lines = [header]
    for row in rows:
        role = row.role()
        if role == "baseline":
            continue
        baseline, ratio, cpu_ratio, base_efficiency = "-", "-", "-", "-"
        if row.error:
            baseline, ratio = "failed", row.error
        elif role == "share":
            baseline = BUDGETS[row.budget][1]
            baseline += f" / {row.per_period:g}" if row.per_period != 1 else ""
            ratio = budget_share(row)
        elif role == "lateness":
            baseline, ratio = BUDGETS["worker_tick"][1], lateness_share(row)
        elif role == "vs":
            base = find_baseline(row, rows)
            if base is not None:
                base_efficiency = efficiency(base, rows)
            if base is None:
                baseline = f"missing {row.label[3:]}"
            else:
                baseline = f"{show_figure(base)} ({base.base_name})"
                ratio = show_ratio(row, base)
                cpu_ratio = show_cpu_ratio(row, base)
        else:
            baseline = "no role declared"
        lines.append((f"{row.program}: {row.base_name}", show_figure(row), baseline, ratio,
                      cpu_ratio, str(row.workers), efficiency(row, rows), base_efficiency))
    return lines


def print_table(paths):
    rows = [r for p in paths for r in load_rows(p)]
    lines = table_lines(rows)
    widths = [max(len(line[k]) for line in lines) for k in range(len(lines[0]))]
    for n, line in enumerate(lines):
        print("  ".join(cell.ljust(w) for cell, w in zip(line, widths)).rstrip())
        if n == 0:
            print("  ".join("-" * w for w in widths))


def problems(rows):
    found = []
    for row in rows:
        if row.error:
            found.append(f"{row.name}: {row.error}")
        elif row.role() is None:
            found.append(f"{row.name}: no role (label \"{row.label}\"), see bench_table.h")
        elif row.role() == "vs" and find_baseline(row, rows) is None:
            found.append(f"{row.name}: no baseline row named {row.label[3:]}")
    return found


def run_once(program, out):
    result = subprocess.run([program, "--benchmark_min_time=0.000001",
                             "--benchmark_format=console", f"--benchmark_out={out}",
                             "--benchmark_out_format=json"], check=False)
    if result.returncode != 0:
        print(f"{program} exited with {result.returncode}")
        return 1
    rows = load_rows(out)
    found = problems(rows) if rows else [f"{program} ran no benchmark"]
    for line in found:
        print(line)
    return 1 if found else 0


def main(argv):
    if len(argv) >= 3 and argv[1] == "table":
        print_table(argv[2:])
        return 0
    if len(argv) == 4 and argv[1] == "run-once":
        return run_once(argv[2], argv[3])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
