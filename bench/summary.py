"""Prints the benchmark table from the driver's key=value files (bench/run.sh)."""
import argparse
import datetime
import os
import statistics
import sys


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
    ap.add_argument("--machine", default="")
    a = ap.parse_args()

    runs = {p: [read(os.path.join(a.results, f"{p}-{r}.txt")) for r in range(1, a.rounds + 1)]
            for p in ("velvane", "floor")}

    def per_run(program, key):
        return [float(run[key]) for run in runs[program]]

    def samples(program, key):  # every sample of every run (the hotkey's list)
        return [float(v) for run in runs[program] for v in run[key].split(",") if v]

    rows = []  # (figure, velvane, floor, unit, target ratio or None)
    rows.append(("start to first paint", statistics.median(per_run("velvane", "start_ms")),
                 statistics.median(per_run("floor", "start_ms")), "ms", 1.15))
    rows.append(("peak working set after start", statistics.median(per_run("velvane", "peak_start_kb")),
                 statistics.median(per_run("floor", "peak_start_kb")), "KB", 1.2))
    if a.searches:
        rows.append((f"peak working set after {a.searches:,} searches",
                     statistics.median(per_run("velvane", "peak_search_kb")),
                     statistics.median(per_run("floor", "peak_search_kb")), "KB", 1.2))
    rows.append(("hotkey to shown and painted", statistics.median(samples("velvane", "hotkey_ms")),
                 statistics.median(samples("floor", "hotkey_ms")), "ms", 1.1))
    rows.append(("hotkey to visible (IsWindowVisible)", statistics.median(samples("velvane", "hotkey_visible_ms")),
                 statistics.median(samples("floor", "hotkey_visible_ms")), "ms", None))
    rows.append(("exe size", os.path.getsize(a.velvane_exe), os.path.getsize(a.floor_exe), "bytes", None))

    print()
    print(f"Velvane against the floor, {datetime.date.today().isoformat()}, {a.rounds} interleaved rounds (medians)")
    if a.machine:
        print(f"machine: {a.machine}")
    print()
    header = f"| {'figure':<38} | {'Velvane':>15} | {'floor':>15} | {'ratio':>6} | {'target':<22} |"
    print(header)
    print("|" + "|".join("-" * (len(c)) for c in header.split("|")[1:-1]) + "|")
    for name, v, f, unit, target in rows:
        ratio = v / f if f else float("nan")
        if target is not None:
            verdict = f"<= {target:.2f}: {'met' if ratio <= target else 'NOT met'}"
        elif unit == "bytes":
            verdict = f"<= 512 KB: {'met' if v <= 512 * 1024 else 'NOT met'}"
        else:
            verdict = "-"
        fmt = (lambda x: f"{x:,.0f} {unit}") if unit in ("KB", "bytes") else (lambda x: f"{x:.1f} {unit}")
        print(f"| {name:<38} | {fmt(v):>15} | {fmt(f):>15} | {ratio:>6.2f} | {verdict:<22} |")

    lost = [(p, r + 1, run.get("urls")) for p in runs for r, run in enumerate(runs[p])
            if a.searches and run.get("urls") != str(a.searches)]
    codes = [(p, r + 1, run.get("exit_code")) for p in runs for r, run in enumerate(runs[p])
             if run.get("exit_code") != "0"]
    missed = {p: sum(int(run.get("hotkey_missed", "0")) for run in runs[p]) for p in runs}
    print()
    print(f"Alt+W presses missed (the window stayed visible, pressed again): "
          f"Velvane {missed['velvane']}, floor {missed['floor']}")
    print(f"URLs logged per run: {'all ' + str(a.searches) if not lost else lost}; "
          f"exit codes: {'all 0' if not codes else codes}")
    return 1 if lost or codes else 0


if __name__ == "__main__":
    sys.exit(main())
