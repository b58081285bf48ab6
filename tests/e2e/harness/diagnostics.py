"""What a failure report says beyond the game's own output: how busy the machine was, what
each thread waits on, and a backtrace."""

import os
import shutil
import subprocess
import time

def _cpu_times():
    with open("/proc/stat") as stat:
        fields = stat.readline().split()[1:]
    return [int(f) / os.sysconf("SC_CLK_TCK") for f in fields]


_CPU_AT_START = _cpu_times()
_STARTED = time.monotonic()


# A wait may last this many times its own time on a machine loaded beyond its cores.
MAX_STRETCH = 4.0


def load():
    """The load of the last minute, and the cores that share it."""
    with open("/proc/loadavg") as loadavg:
        return float(loadavg.read().split()[0]), os.cpu_count() or 1


def stretch():
    """How much longer than on an idle machine a wait may last now: the load per core, from 1
    up to MAX_STRETCH, so that a loaded machine slows the tests without failing them."""
    average, cores = load()
    return min(MAX_STRETCH, max(1.0, average / cores))


def describe_load():
    average, cores = load()
    return f"load {average:.1f} on {cores} cores"


def describe_machine():
    """Whether the whole machine was starved: load, and CPU time stolen by the host."""
    now = _cpu_times()
    steal = now[7] - _CPU_AT_START[7] if len(now) > 7 else float("nan")
    with open("/proc/loadavg") as loadavg:
        load = " ".join(loadavg.read().split()[:3])
    return (f"machine: load {load}; {steal:.1f} s of CPU stolen by the host in the "
            f"{time.monotonic() - _STARTED:.0f} s since the tests started")


def describe_threads(pid):
    lines = ["threads (id, state, kernel wait channel):"]
    try:
        for tid in sorted(os.listdir(f"/proc/{pid}/task"), key=int):
            with open(f"/proc/{pid}/task/{tid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{pid}/task/{tid}/comm") as comm:
                name = comm.read().strip()
            try:
                with open(f"/proc/{pid}/task/{tid}/wchan") as wchan:
                    channel = wchan.read().strip()
            except OSError:
                channel = "?"
            lines.append(f"  {tid} {name}: {fields[0]} {channel}")
    except OSError as error:
        lines.append(f"  unreadable: {error}")
    return "\n".join(lines)


def backtrace(pid):
    if shutil.which("gdb") is None:
        return "no gdb for a backtrace"
    try:
        result = subprocess.run(["gdb", "-p", str(pid), "-batch", "-nx",
                                 "-ex", "thread apply all bt 25"],
                                capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return "gdb timed out"
    text = result.stdout.decode(errors="replace")
    keep = [line for line in text.splitlines() if line.startswith(("Thread", "#"))]
    return "backtrace:\n" + "\n".join(keep[:120])
