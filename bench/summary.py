"""Prints the benchmark table from the driver's key=value files (bench/run.sh).

Every figure of Velvane stands beside both floors: the fair floor (Velvane's
window, tabs and pages done plainly, bench/floor.cpp) and the empty floor (a
window, a tab control, one edit box), each with its ratio. The targets are
held against the fair floor; the empty floor says what a window of this kind
costs at least.
"""
import argparse
import datetime
import os
import statistics
import sys

PROGRAMS = ("velvane", "fair_floor", "floor")
SIZE_TARGET = 256 * 1024
# The keyword list asks for suggestions once typing has paused this long
# (src/app/keyword_list_win.cpp): a wait by design, not the list's cost.
LIST_PAUSE_MS = 150
# One frame at 60 Hz: what the list may add to what the server takes.
FRAME_MS = 1000 / 60


def read(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, sep, value = line.strip().partition("=")
            if sep:
                values[key] = value
    return values


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--results", required=True)
    ap.add_argument("--rounds", type=int, required=True)
    ap.add_argument("--searches", type=int, required=True)
    ap.add_argument("--velvane-exe", required=True)
    ap.add_argument("--velvane32-exe", default="none")
    ap.add_argument("--floor-exe", required=True)
    ap.add_argument("--fair-floor-exe", required=True)
    ap.add_argument("--machine", default="")
    ap.add_argument("--load", default="")
    a = ap.parse_args()

    runs = {p: [read(os.path.join(a.results, f"{p}-{r}.txt")) for r in range(1, a.rounds + 1)] for p in PROGRAMS}
    # Velvane with suggestions from the driver's server, in runs of their own.
    list_path = os.path.join(a.results, "velvane_list-{}.txt")
    list_runs = [read(list_path.format(r)) for r in range(1, a.rounds + 1) if os.path.exists(list_path.format(r))]

    def per_run(program, key):
        values = [float(run[key]) for run in runs[program] if key in run]
        return statistics.median(values) if values else None

    def samples(program, key):  # every sample of every run (the hotkey's and the switch's lists)
        values = [float(v) for run in runs[program] for v in run.get(key, "").split(",") if v]
        return statistics.median(values) if values else None

    def growth(program):  # the peak working set's rise over the last nine tenths of the searches, per run
        values = [float(run["peak_search_kb"]) - float(run["peak_early_kb"]) for run in runs[program]
                  if "peak_search_kb" in run and "peak_early_kb" in run]
        return statistics.median(values) if values else None

    def figure(key, kind=per_run):
        return tuple(kind(p, key) for p in PROGRAMS)

    def list_samples(key):  # every keystroke of every list run
        return [float(v) for run in list_runs for v in run.get(key, "").split(",") if v]

    def median(values):
        return statistics.median(values) if values else None

    # Per keystroke: to the list painted, less the pause and the server's own
    # time (request in to answer out): what the list itself adds.
    list_total = list_samples("list_ms")
    list_server = list_samples("list_server_ms")
    list_own = [t - LIST_PAUSE_MS - s for t, s in zip(list_total, list_server)] if len(list_total) == len(
        list_server) else []

    idle_s = per_run("velvane", "idle_ms")
    idle_s = idle_s / 1000 if idle_s else None
    # (figure, (velvane, fair floor, empty floor), unit, target)
    # target: ("ratio", limit) against the fair floor, "flat", "at most", ("size", limit) or None
    rows = [("start to first paint", figure("start_ms"), "ms", ("ratio", 1.05)),
            ("hotkey to shown and painted", figure("hotkey_ms", samples), "ms", ("ratio", 1.05)),
            ("hotkey to visible (IsWindowVisible)", figure("hotkey_visible_ms", samples), "ms", None),
            ("page switch (Ctrl+Tab) to painted", figure("switch_ms", samples), "ms", ("ratio", 1.05)),
            ("peak working set after start", figure("peak_start_kb"), "KB", ("ratio", 1.1))]
    if a.searches:
        rows.append((f"peak working set after {a.searches:,} searches", figure("peak_search_kb"), "KB",
                     ("ratio", 1.1)))
        later = a.searches - a.searches // 10
        rows.append((f"  its rise over the last {later:,} searches", tuple(growth(p) for p in PROGRAMS), "KB",
                     "flat"))
    fair_echo = samples("fair_floor", "echo_ms")
    rows.append(("keystroke to painted in the keyword box", figure("echo_ms", samples), "ms", None))
    if list_runs:
        rows.append(("keystroke to list painted (server at once)", (median(list_total), None, None), "ms", None))
        rows.append((f"  less the {LIST_PAUSE_MS} ms pause and the server", (median(list_own), fair_echo, None), "ms",
                     ("plus", FRAME_MS)))
        rows.append(("  of it: keystroke to request at the server", (median(list_samples("list_request_ms")), None,
                                                                    None), "ms", None))
        rows.append(("  of it: server's answer to list painted", (median(list_samples("list_answer_ms")), None,
                                                                 None), "ms", None))
    if idle_s:
        rows.append((f"idle {idle_s:.0f} s hidden: CPU time", figure("idle_cpu_ms"), "ms", "at most"))
        rows.append((f"idle {idle_s:.0f} s hidden: wake-ups", figure("idle_wakeups"), "", "at most"))
    rows.append(("child windows after start", figure("children_start"), "", None))
    rows.append(("  one 'painted' check then", figure("check_ms_start"), "ms3", None))
    rows.append(("child windows, every page visited", figure("children_end"), "", None))
    rows.append(("  one 'painted' check then", figure("check_ms_end"), "ms3", None))
    rows.append(("exe size (64-bit)", (os.path.getsize(a.velvane_exe), os.path.getsize(a.fair_floor_exe),
                                       os.path.getsize(a.floor_exe)), "bytes", ("size", SIZE_TARGET)))
    if a.velvane32_exe != "none" and os.path.exists(a.velvane32_exe):
        rows.append(("exe size (32-bit, not measured)", (os.path.getsize(a.velvane32_exe), None, None), "bytes",
                     ("size", SIZE_TARGET)))

    print()
    print(f"Velvane against the fair floor and the empty floor, {datetime.date.today().isoformat()}, "
          f"{a.rounds} interleaved rounds (medians)")
    if a.machine:
        print(f"machine: {a.machine}")
    if a.load:
        print(a.load)
    print()
    header = (f"| {'figure':<44} | {'Velvane':>15} | {'fair floor':>15} | {'ratio':>6} | {'empty floor':>15} "
              f"| {'ratio':>6} | {'target':<34} |")
    print(header)
    print("|" + "|".join("-" * (len(c)) for c in header.split("|")[1:-1]) + "|")

    def fmt(x, unit):
        if x is None:
            return "-"
        if unit in ("KB", "bytes"):
            return f"{x:,.0f} {unit}"
        if unit == "":
            return f"{x:,.0f}"
        if unit == "ms3":
            return f"{x:.2f} ms"
        return f"{x:.1f} {unit}"

    def ratio(v, f):
        return v / f if v is not None and f else None

    unmet = []
    for name, (v, fair, empty), unit, target in rows:
        ratios = (ratio(v, fair), ratio(v, empty))
        if target == "flat":
            # Flat: what the later searches add is no more than what they add
            # to the fair floor, give or take 256 KB of the system's own noise.
            met = v is not None and fair is not None and v <= fair + 256
            verdict = f"<= fair floor's + 256 KB: {'met' if met else 'NOT met'}"
        elif target == "at most":
            met = v is not None and fair is not None and v <= fair
            verdict = f"<= fair floor's: {'met' if met else 'NOT met'}"
        elif target is not None and target[0] == "plus":
            # Beside the fair floor's keystroke echo: no more than one frame on top.
            met = v is not None and fair is not None and v <= fair + target[1]
            verdict = f"<= fair floor's echo + {target[1]:.1f} ms: {'met' if met else 'NOT met'}"
        elif target is not None and target[0] == "size":
            met = v is not None and v <= target[1]
            verdict = f"<= {target[1] // 1024} KB: {'met' if met else 'NOT met'}"
        elif target is not None:
            r = ratios[0]
            met = r is not None and r <= target[1]
            verdict = f"<= {target[1]:.2f} x fair floor: {'met' if met else 'NOT met'}"
        else:
            met = True
            verdict = "-"
        if not met:
            unmet.append(name.strip())
        cells = [f"{r:>6.2f}" if r is not None else f"{'-':>6}" for r in ratios]
        print(f"| {name:<44} | {fmt(v, unit):>15} | {fmt(fair, unit):>15} | {cells[0]} | {fmt(empty, unit):>15} "
              f"| {cells[1]} | {verdict:<34} |")

    lost = [(p, r + 1, run.get("urls")) for p in runs for r, run in enumerate(runs[p])
            if a.searches and run.get("urls") != str(a.searches)]
    codes = [(p, r + 1, run.get("exit_code")) for p in runs for r, run in enumerate(runs[p])
             if run.get("exit_code") != "0"]
    missed = {p: sum(int(run.get("hotkey_missed", "0")) for run in runs[p]) for p in runs}
    print()
    print(f"Targets not met: {', '.join(unmet) if unmet else 'none'}")
    if idle_s:
        for p, label in (("velvane", "Velvane"), ("fair_floor", "fair floor")):
            pairs = ", ".join(f"{run.get('idle_cpu_ms', '-')} ms/{run.get('idle_wakeups', '-')}" for run in runs[p])
            print(f"Idle per run (CPU time/wake-ups), {label}: {pairs}")
    print(f"Alt+W presses missed (the window stayed visible, pressed again): "
          f"Velvane {missed['velvane']}, fair floor {missed['fair_floor']}, empty floor {missed['floor']}")
    switches = {p: sum(int(run.get("switch_missed", "0")) for run in runs[p]) for p in runs}
    print(f"Ctrl+Tab presses missed (no switch within 2 s, pressed again): "
          f"Velvane {switches['velvane']}, fair floor {switches['fair_floor']}")
    print(f"URLs logged per run: {'all ' + str(a.searches) if not lost else lost}; "
          f"exit codes: {'all 0' if not codes else codes}")
    return 1 if lost or codes else 0


if __name__ == "__main__":
    sys.exit(main())
