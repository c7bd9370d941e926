#!/usr/bin/env python3
"""Runs the demo around KLAX and reports what the simulator saw.

A made-up Prepar3D world, the simulator and RealTraffic stand-ins, the program between them and
a traffic recording around KLAX; then the report of what the simulator saw.

Steps (the program is expected installed in <out>/program, which scripts/demo does):
  1. demo-world lays out the world; python3 -m http.server serves its download folder;
  2. p3d-standin runs on the world's SimConnect ports with the user aircraft parked at KLAX;
  3. the program starts from its folder; rt-standin connects to it and holds its replay;
  4. once the program has made KLAX its park airport and auto range has set the radius, the
     recording plays at real pace;
     SIGUSR1 saves the window whenever more aircraft are live than ever before;
  5. after the recording, once only parked aircraft are left, SIGTERM closes the program;
  6. trace-report prints the summary, writes the map and runs the checks.
Only processes this runner started are stopped, by their ids. Standard library only.
"""

import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
RECORDING = REPO / "tools" / "demo" / "klax.rttfc"
MANIFEST = REPO / "tools" / "demo" / "klax_manifest.json"

RT_PORT, WEATHER_PORT, TRAFFIC_PORT = 10747, 49004, 49005
PARK_AIRPORT_LINE = "The park airport is KLAX"
STANDS_READ_S = 3.0         # after that line, for the stand file and the park elevation
# Auto range sets the traffic radius from the user aircraft only every 30 of its reports; until
# then the program filters with the radius it started with. The replay waits for that radius.
RADIUS_SETTLED_S = 32.0
RADIUS_TIMEOUT_S = 120.0
PARK_AIRPORT_TIMEOUT_S = 300.0
REMOVALS_AFTER_REPLAY_S = 120.0
# An object that has stood on the ground this long is parked: parked live aircraft stay until
# the program closes (or 90 minutes and more without reports), and so do static parked aircraft.
PARKED_STILL_S = 30.0
STILL_DEG = 5e-6            # about half a metre: closer to its place of rest, it stands still
LISTENING_TIMEOUT_S = 30.0
CLOSE_TIMEOUT_S = 30.0
STOP_TIMEOUT_S = 10.0
WINDOW_PNG_EVERY_S = 10.0   # at most one window save per this many seconds
POLL_S = 0.2
FRAME_HZ = 30


class DemoError(Exception):
    """A step that cannot go on; the message says what to do."""


class Interrupted(Exception):
    """Ctrl-C or SIGTERM reached the runner."""


def on_signal(signum, frame):
    raise Interrupted(signal.Signals(signum).name)


class Processes:
    """The processes this runner started, stopped in reverse order by their ids."""

    def __init__(self):
        self.started = []  # (name, Popen)

    def start(self, name, args, log, **kwargs):
        with open(log, "ab") as out:
            # A session of its own: Ctrl-C reaches the runner, which stops everything in order.
            proc = subprocess.Popen(args, stdout=kwargs.pop("stdout", out), stderr=out,
                                    stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        self.started.append((name, proc))
        return proc

    def check_alive(self, *names):
        for name, proc in self.started:
            if name in names and proc.poll() is not None:
                raise DemoError(f"{name} ended early with exit code {proc.returncode}; see its log")

    @staticmethod
    def stop(name, proc, sig=signal.SIGTERM, timeout=STOP_TIMEOUT_S):
        if proc.poll() is not None:
            return
        proc.send_signal(sig)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            print(f"demo: {name} did not end within {timeout:.0f} s; killing process {proc.pid}")
            proc.kill()
            proc.wait()

    def stop_all(self):
        for name, proc in reversed(self.started):
            self.stop(name, proc)


def free_port(kind=socket.SOCK_STREAM, family=socket.AF_INET, host="127.0.0.1"):
    with socket.socket(family, kind) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def port_busy(port, kind, host):
    with socket.socket(socket.AF_INET, kind) as s:
        try:
            s.bind((host, port))
            return False
        except OSError:
            return True


def program_ports(free):
    """The RealTraffic link's TCP port and the weather and traffic UDP ports."""
    if free:
        return (free_port(), free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_DGRAM))
    for port, kind, host, what in ((RT_PORT, socket.SOCK_STREAM, "0.0.0.0", "RealTraffic link"),
                                   (WEATHER_PORT, socket.SOCK_DGRAM, "127.0.0.1", "weather"),
                                   (TRAFFIC_PORT, socket.SOCK_DGRAM, "127.0.0.1", "traffic")):
        if port_busy(port, kind, host):
            raise DemoError(f"port {port} ({what}) is in use, perhaps by RealTraffic or another "
                            "Zendrik_P3D; stop it, or run the demo with --free-ports")
    return RT_PORT, WEATHER_PORT, TRAFFIC_PORT


def cut_recording(source, target, minutes):
    """Copies the recording up to `minutes` of its traffic time; returns the seconds kept."""
    first, kept = None, 0.0
    limit = None if minutes is None else minutes * 60.0
    with open(source, encoding="utf-8", errors="replace") as src, open(target, "w") as dst:
        for line in src:
            if line.startswith("RTTFC,"):
                fields = line.split(",")
                try:
                    stamp = float(fields[14])
                except (IndexError, ValueError):
                    continue
                first = stamp if first is None else first
                if limit is not None and stamp - first >= limit:
                    break
                kept = max(kept, stamp - first)
            dst.write(line)
    if first is None:
        raise DemoError(f"{source} holds no RTTFC traffic record")
    return limit if limit is not None else kept + 1.0


def wait_for(what, predicate, timeout, processes, *alive):
    end = time.monotonic() + timeout
    while not predicate():
        processes.check_alive(*alive)
        if time.monotonic() > end:
            raise DemoError(f"gave up waiting {timeout:.0f} s for {what}")
        time.sleep(POLL_S)


def file_has(path, text):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return any(text in line for line in f)
    except FileNotFoundError:
        return False


class TraceWatcher:
    """Follows the stand-in's trace as it grows: objects alive, and the most at once."""

    def __init__(self, path):
        self.path, self.offset, self.partial = path, 0, ""
        self.live, self.in_frame, self.peak = set(), 0, 0
        self.still_since = {}  # id -> trace time since which it has stood on the ground, or None
        self.rest_place = {}   # id -> (lat, lon) where it came to rest on the ground, or None
        self.radius_m, self.radius_since, self.radius_changed, self.now = None, 0.0, False, 0.0

    def radius_settled(self):
        """True once the program's range requests show the radius auto range chose."""
        self.poll()
        return self.radius_m is not None and (
            self.radius_changed or self.now - self.radius_since >= RADIUS_SETTLED_S)

    def only_parked_left(self):
        """True when every object left has stood still on the ground for PARKED_STILL_S."""
        self.poll()
        return all(self.still_since.get(i) is not None and
                   self.now - self.still_since[i] >= PARKED_STILL_S for i in self.live)

    def frame(self, objects):
        self.in_frame = len(objects)
        self.peak = max(self.peak, self.in_frame)
        for o in objects:
            key, at = o.get("id"), (o.get("lat", 0.0), o.get("lon", 0.0))
            rest = self.rest_place.get(key)
            if not o.get("on_ground"):
                self.still_since[key], self.rest_place[key] = None, None
            elif rest is None or max(abs(at[0] - rest[0]), abs(at[1] - rest[1])) > STILL_DEG:
                self.still_since[key], self.rest_place[key] = self.now, at

    def range_request(self, entry):
        radius = entry.get("radius_m")
        if radius != self.radius_m:
            self.radius_changed = self.radius_m is not None
            self.radius_m, self.radius_since = radius, entry.get("t", 0.0)

    def poll(self):
        try:
            with open(self.path, encoding="utf-8", errors="replace") as f:
                f.seek(self.offset)
                text = f.read()
                self.offset = f.tell()
        except FileNotFoundError:
            return
        lines = (self.partial + text).split("\n")
        self.partial = lines.pop()
        for line in lines:
            try:
                entry = json.loads(line)
            except ValueError:
                continue
            kind = entry.get("kind")
            self.now = entry.get("t", self.now)
            if kind == "request" and entry.get("type") == "RequestDataOnSimObjectType":
                self.range_request(entry)
            elif kind == "created":
                self.live.add(entry.get("id"))
                self.still_since[entry.get("id")] = None
            elif kind == "removed":
                self.live.discard(entry.get("id"))
                self.still_since.pop(entry.get("id"), None)
                self.rest_place.pop(entry.get("id"), None)
            elif kind == "frame":
                self.frame(entry.get("objects", []))


def start_http_server(processes, folder, log):
    proc = processes.start("http.server", [sys.executable, "-u", "-m", "http.server", "--bind",
                                           "127.0.0.1", "--directory", str(folder), "0"],
                           log, stdout=subprocess.PIPE)
    line = proc.stdout.readline().decode(errors="replace")  # "Serving HTTP on 127.0.0.1 port N ..."
    try:
        port = int(line.split(" port ")[1].split()[0])
    except (IndexError, ValueError):
        raise DemoError(f"python3 -m http.server did not start: {line.strip()}")
    return f"http://127.0.0.1:{port}/"


def start_p3d_standin(processes, tools, world, out):
    proc = processes.start("p3d-standin", [
        str(tools / "p3d-standin" / "p3d-standin"), "--port", str(world["simconnect_port4"]),
        "--port6", str(world["simconnect_port6"]), "--scenario", world["scenario"],
        "--trace", str(out / "trace.jsonl"), "--simobjects", world["simobjects"],
        "--frame-hz", str(FRAME_HZ)], out / "p3d-standin.log", stdout=subprocess.PIPE)
    line = proc.stdout.readline().decode(errors="replace")
    if not line.startswith("p3d-standin listening"):
        raise DemoError(f"p3d-standin did not start (see {out / 'p3d-standin.log'}): {line.strip()}")


def program_environment(world, out, url, ports):
    env = dict(os.environ)
    env.update(world["environment"])
    env.update({"ZENDRIK_DOWNLOAD_URL": url, "ZENDRIK_RUNTIME_DIR": str(out / "runtime"),
                "ZENDRIK_WINDOW_PNG": str(out / "window.png"),
                "ZENDRIK_WEATHER_PORT": str(ports[1]), "ZENDRIK_TRAFFIC_PORT": str(ports[2])})
    if ports[0] != RT_PORT:
        # A new user's settings, but for the link's port.
        settings = Path(world["environment"]["APPDATA"]) / "Zendrik_P3D" / "parameters.xml"
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text('<?xml version="1.0"?>\n<parameters>\n'
                            f'\t<parameter name="PORT_NUMBER" value="{ports[0]}" />\n</parameters>\n')
    return env


def wait_program(proc):
    """Waits for the program's end; its CPU seconds and peak resident size in MiB."""
    while True:
        pid, status, usage = os.wait4(proc.pid, 0)
        if pid == proc.pid:
            proc.returncode = os.waitstatus_to_exitcode(status)
            return usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def run_traffic(args, processes, program, out, ports, cut_file, log_file):
    """Steps 4 and 5: the replay once KLAX is the park airport, window saves, the close."""
    rt_log = out / "rt-standin.log"
    rt = processes.start("rt-standin", [
        str(args.tools / "rt-standin" / "rt-standin"), "--server", f"127.0.0.1:{ports[0]}",
        "--traffic", str(cut_file), "--weather-port", str(ports[1]), "--traffic-port",
        str(ports[2]), "--log", str(rt_log), "--hold"], out / "rt-standin.out")
    wait_for(f'"{PARK_AIRPORT_LINE}" in {log_file}', lambda: file_has(log_file, PARK_AIRPORT_LINE),
             PARK_AIRPORT_TIMEOUT_S, processes, "zendrik_p3d", "p3d-standin", "rt-standin")
    time.sleep(STANDS_READ_S)
    watcher = TraceWatcher(out / "trace.jsonl")
    wait_for("the program's traffic radius", watcher.radius_settled, RADIUS_TIMEOUT_S, processes,
             "zendrik_p3d", "p3d-standin", "rt-standin")
    print(f"demo: KLAX is the park airport, the traffic radius {watcher.radius_m / 1852:.0f} nm; "
          "the recording plays")
    rt.send_signal(signal.SIGUSR1)

    saved_peak, last_save = 0, 0.0
    deadline = None
    while deadline is None or time.monotonic() < deadline:
        processes.check_alive("zendrik_p3d", "p3d-standin")
        watcher.poll()
        if watcher.in_frame > saved_peak and time.monotonic() - last_save >= WINDOW_PNG_EVERY_S:
            saved_peak, last_save = watcher.in_frame, time.monotonic()
            program.send_signal(signal.SIGUSR1)  # the busiest moment so far: save the window
        if deadline is None and file_has(rt_log, "replay finished"):
            print("demo: the recording has played; waiting until only parked aircraft are left")
            deadline = time.monotonic() + REMOVALS_AFTER_REPLAY_S
        if deadline is not None and watcher.only_parked_left():
            break
        time.sleep(POLL_S)
    program.send_signal(signal.SIGTERM)
    start = time.monotonic()
    cpu, rss = wait_program(program)
    print(f"demo: the program closed after {time.monotonic() - start:.1f} s (exit code "
          f"{program.returncode})")
    return cpu, rss


def report(args, out, world, cut_file, cut_s, log_file):
    command = [str(args.tools / "trace-report" / "trace-report"), "--trace", str(out / "trace.jsonl"),
               "--airport", world["airport"], "--recording", str(cut_file), "--cut", str(cut_s),
               "--summary", str(out / "summary.txt"), "--map", str(out / "tracks.png")]
    if log_file.exists():
        command += ["--log", str(log_file)]
    if args.traffic is None:
        command += ["--manifest", str(MANIFEST)]
    return subprocess.run(command).returncode


OUTPUT_MARKER = ".zendrik-demo"


def output_refusal(out):
    """Why `out` cannot take the demo's output (it holds something else); None when it can."""
    if out.exists() and not out.is_dir():
        return f"{out} is not a folder; choose another --out"
    if out.is_dir() and any(out.iterdir()) and not (out / OUTPUT_MARKER).exists():
        return f"{out} is not empty and not a demo's output folder; choose another --out"
    return None


def fresh_output(out):
    """Empties an earlier demo's output folder (output_refusal has allowed it)."""
    marker = out / OUTPUT_MARKER
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    marker.write_text("made by tools/demo/run_demo.py; emptied by the next demo\n")


def install_program(build, program_folder):
    subprocess.run(["cmake", "--install", str(build), "--prefix", str(program_folder)],
                   check=True, stdout=subprocess.DEVNULL)


def run(args, processes):
    out = args.out.resolve()
    fresh_output(out)
    program_folder = (args.program or out / "program").resolve()
    if args.install is not None:
        install_program(args.install, program_folder)
    ports = program_ports(args.free_ports)
    simconnect = (free_port(), free_port(family=socket.AF_INET6, host="::1"))
    subprocess.run([str(args.tools / "fixtures" / "demo-world"), "--out", str(out / "world"),
                    "--program", str(program_folder), "--simconnect-ports", *map(str, simconnect)],
                   check=True)
    world = json.loads((out / "world" / "world.json").read_text())
    cut_file = out / "recording.rttfc"
    cut_s = cut_recording(args.traffic or RECORDING, cut_file, args.minutes)

    executable = program_folder / "zendrik_p3d"
    if not executable.exists():
        print(f"\ndemo: the world is ready in {out / 'world'}, but the program is not: "
              f"{executable} does not exist.\nThe zendrik_p3d program (main window, worker, "
              "traffic engine) is still to be built; until then the demo stops here.")
        return 3

    url = start_http_server(processes, world["download_folder"], out / "http.log")
    start_p3d_standin(processes, args.tools, world, out)
    log_file = program_folder / "Log.txt"
    program = processes.start("zendrik_p3d", [str(executable)], out / "program.log",
                              cwd=program_folder, env=program_environment(world, out, url, ports))
    cpu, rss = run_traffic(args, processes, program, out, ports, cut_file, log_file)
    processes.stop_all()
    if log_file.exists():
        shutil.copy(log_file, out / "Log.txt")
    result = report(args, out, world, cut_file, cut_s, out / "Log.txt")
    return result, cpu, rss


def parse_options(argv, prog):
    """The options, every one checked before anything is built or laid out."""
    parser = argparse.ArgumentParser(prog=prog, description=__doc__.splitlines()[0],
                                     allow_abbrev=False)
    parser.add_argument("--out", type=Path, metavar="DIR", default=REPO / "demo-out",
                        help="output folder (default demo-out)")
    parser.add_argument("--minutes", type=float, metavar="N",
                        help="play only this much of the recording")
    parser.add_argument("--traffic", type=Path, metavar="FILE", help="an RTTFC recording of one's "
                        "own around KLAX (checked without a manifest)")
    parser.add_argument("--free-ports", action="store_true",
                        help="free ports instead of 10747, 49004 and 49005")
    parser.add_argument("--tools", type=Path, metavar="DIR",
                        default=REPO / "build" / "release" / "tools", help="the built tools folder")
    parser.add_argument("--program", type=Path, metavar="DIR",
                        help="the installed program's folder (default <out>/program)")
    parser.add_argument("--install", type=Path, metavar="BUILD",
                        help="first install the program of this build folder there")
    args = parser.parse_args(argv)
    if args.minutes is not None and args.minutes <= 0:
        parser.error("--minutes must be positive")
    if args.traffic is not None and not args.traffic.is_file():
        parser.error(f"--traffic: {args.traffic} is not a file")
    refusal = output_refusal(args.out.resolve())
    if refusal:
        parser.error(refusal)
    return args


def build_release():
    """The setup's packages and the Release tree, as scripts/demo wants them; the tree's folder."""
    subprocess.run([str(REPO / "scripts" / "setup")], check=True)
    subprocess.run(["cmake", "--preset", "release"], cwd=REPO, check=True,
                   stdout=subprocess.DEVNULL)
    build = REPO / "build" / "release"
    subprocess.run(["cmake", "--build", str(build), "-j", str(os.cpu_count() or 1)], check=True)
    return build


def main(argv=None, prog=None, build_first=False):
    """build_first: install the packages and build the Release tree once the options hold, and
    install the program from it (scripts/demo)."""
    args = parse_options(argv, prog)
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)
    processes = Processes()
    began = time.monotonic()
    try:
        if build_first:
            args.install = build_release()
        outcome = run(args, processes)
    except Interrupted as e:
        print(f"\ndemo: {e}: stopping what the demo started")
        return 130
    except (DemoError, subprocess.CalledProcessError, OSError) as e:
        print(f"demo: {e}", file=sys.stderr)
        return 2
    finally:
        for sig in (signal.SIGINT, signal.SIGTERM):  # the clean-up itself is not interrupted
            signal.signal(sig, signal.SIG_IGN)
        processes.stop_all()
    if isinstance(outcome, int):
        return outcome
    result, cpu, rss = outcome
    figures = (f"wall time {time.monotonic() - began:.0f} s; the program's CPU {cpu:.1f} s, "
               f"peak resident size {rss:.0f} MiB")
    (args.out / "figures.txt").write_text(figures + "\n")
    print(f"demo: {figures}\ndemo: outputs in {args.out.resolve()}: summary.txt, tracks.png, "
          "window.png, trace.jsonl, Log.txt, p3d-standin.log, rt-standin.log")
    return result


if __name__ == "__main__":
    sys.exit(main())
