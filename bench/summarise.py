"""Reads the JSON of several alternating runs of one Google Benchmark program
and prints each figure beside its floor, the best ratio of the runs, and
whether the target is met.

    summarise.py 'LABEL|SUBJECT|FLOOR|KIND|TARGET' ... -- RUN.json ...

KIND is "throughput" (bytes per second; the ratio is subject / floor and the
target a minimum) or "time" (real time per iteration; the ratio is subject /
floor and the target a maximum). TARGET "-" reports the ratio alone.
"""
import json
import sys

UNIT_SCALE = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def figures_of(run_file):
    with open(run_file) as handle:
        benchmarks = json.load(handle)["benchmarks"]
    figures = {}
    for bench in benchmarks:
        if bench.get("error_occurred"):
            continue
        figures[bench["name"].removesuffix("/real_time")] = {
            "throughput": bench.get("bytes_per_second", 0.0) / 2**20,
            "time": bench["real_time"] * UNIT_SCALE[bench["time_unit"]],
        }
    return figures


def main(arguments):
    split = arguments.index("--")
    comparisons = [comparison.split("|") for comparison in arguments[:split]]
    runs = [figures_of(path) for path in arguments[split + 1:]]
    all_met = True
    for label, subject, floor, kind, target in comparisons:
        ratios = [run[subject][kind] / run[floor][kind]
                  for run in runs if subject in run and floor in run and run[floor][kind] > 0]
        if not ratios:
            print(f"{label:44} no figures (see the errors above)")
            all_met = False
            continue
        best_index = (max if kind == "throughput" else min)(
            range(len(ratios)), key=lambda index: ratios[index])
        best_run = [run for run in runs if subject in run and floor in run][best_index]
        unit = "MiB/s" if kind == "throughput" else "ms"
        line = (f"{label:44} {best_run[subject][kind]:10.3f} {unit:5} floor "
                f"{best_run[floor][kind]:10.3f} {unit:5} ratio {ratios[best_index]:6.3f}")
        if target != "-":
            limit = float(target)
            met = ratios[best_index] >= limit if kind == "throughput" else ratios[best_index] <= limit
            all_met = all_met and met
            sign = ">=" if kind == "throughput" else "<="
            line += f"  target {sign} {limit:.2f}: {'met' if met else 'NOT MET'}"
        print(line)
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
