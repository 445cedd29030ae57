"""Prints the benchmark table from the driver's key=value files (bench/run.sh).

Every figure of Velvane stands beside both floors: the empty floor (a window,
a tab control, one edit box) and the page floor (the 百度 page's controls as
siblings of the tab control, no subclassing), each with its ratio. A target
names the floor it is held against.
"""
import argparse
import datetime
import os
import statistics
import sys

PROGRAMS = ("velvane", "floor", "page_floor")


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
    ap.add_argument("--floor-exe", required=True)
    ap.add_argument("--page-floor-exe", required=True)
    ap.add_argument("--machine", default="")
    a = ap.parse_args()

    runs = {p: [read(os.path.join(a.results, f"{p}-{r}.txt")) for r in range(1, a.rounds + 1)] for p in PROGRAMS}

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

    # (figure, (velvane, empty floor, page floor), unit, (floor index, target ratio), "flat" or None)
    rows = [("start to first paint", figure("start_ms"), "ms", (2, 1.1)),
            ("peak working set after start", figure("peak_start_kb"), "KB", (1, 1.2))]
    if a.searches:
        rows.append((f"peak working set after {a.searches:,} searches", figure("peak_search_kb"), "KB", (1, 1.2)))
        later = a.searches - a.searches // 10
        rows.append((f"  its rise over the last {later:,} searches", tuple(growth(p) for p in PROGRAMS), "KB",
                     "flat"))
    rows.append(("hotkey to shown and painted", figure("hotkey_ms", samples), "ms", (2, 1.2)))
    rows.append(("hotkey to visible (IsWindowVisible)", figure("hotkey_visible_ms", samples), "ms", None))
    rows.append(("page switch (Ctrl+Tab) to painted", figure("switch_ms", samples), "ms", None))
    rows.append(("exe size", (os.path.getsize(a.velvane_exe), os.path.getsize(a.floor_exe),
                              os.path.getsize(a.page_floor_exe)), "bytes", None))

    print()
    print(f"Velvane against the empty floor and the page floor, {datetime.date.today().isoformat()}, "
          f"{a.rounds} interleaved rounds (medians)")
    if a.machine:
        print(f"machine: {a.machine}")
    print()
    header = (f"| {'figure':<38} | {'Velvane':>15} | {'empty floor':>15} | {'ratio':>6} | {'page floor':>15} "
              f"| {'ratio':>6} | {'target':<36} |")
    print(header)
    print("|" + "|".join("-" * (len(c)) for c in header.split("|")[1:-1]) + "|")

    def fmt(x, unit):
        if x is None:
            return "-"
        return f"{x:,.0f} {unit}" if unit in ("KB", "bytes") else f"{x:.1f} {unit}"

    def ratio(v, f):
        return v / f if v is not None and f else None

    unmet = []
    for name, (v, floor, page), unit, target in rows:
        ratios = (ratio(v, floor), ratio(v, page))
        if target == "flat":
            # Flat: what the later searches add is no more than what they add
            # to the empty floor, give or take 256 KB of the system's own noise.
            met = v is not None and floor is not None and v <= floor + 256
            verdict = f"<= empty floor's + 256 KB: {'met' if met else 'NOT met'}"
        elif target is not None:
            which, limit = target
            r = ratios[which - 1]
            met = r is not None and r <= limit
            verdict = f"<= {limit:.1f} x {'empty' if which == 1 else 'page'} floor: {'met' if met else 'NOT met'}"
        elif unit == "bytes":
            met = v <= 512 * 1024
            verdict = f"<= 512 KB: {'met' if met else 'NOT met'}"
        else:
            met = True
            verdict = "-"
        if not met:
            unmet.append(name.strip())
        cells = [f"{r:>6.2f}" if r is not None else f"{'-':>6}" for r in ratios]
        print(f"| {name:<38} | {fmt(v, unit):>15} | {fmt(floor, unit):>15} | {cells[0]} | {fmt(page, unit):>15} "
              f"| {cells[1]} | {verdict:<36} |")

    lost = [(p, r + 1, run.get("urls")) for p in runs for r, run in enumerate(runs[p])
            if a.searches and run.get("urls") != str(a.searches)]
    codes = [(p, r + 1, run.get("exit_code")) for p in runs for r, run in enumerate(runs[p])
             if run.get("exit_code") != "0"]
    missed = {p: sum(int(run.get("hotkey_missed", "0")) for run in runs[p]) for p in runs}
    print()
    print(f"Targets not met: {', '.join(unmet) if unmet else 'none'}")
    print(f"Alt+W presses missed (the window stayed visible, pressed again): "
          f"Velvane {missed['velvane']}, empty floor {missed['floor']}, page floor {missed['page_floor']}")
    switches = {p: sum(int(run.get("switch_missed", "0")) for run in runs[p]) for p in runs}
    print(f"Ctrl+Tab presses missed (no switch within 2 s, pressed again): "
          f"Velvane {switches['velvane']}, page floor {switches['page_floor']}")
    print(f"URLs logged per run: {'all ' + str(a.searches) if not lost else lost}; "
          f"exit codes: {'all 0' if not codes else codes}")
    return 1 if lost or codes else 0


if __name__ == "__main__":
    sys.exit(main())
