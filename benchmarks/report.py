"""Presentation of the measurements: Markdown table, bar chart, machine description."""

import datetime
import os
import platform
from collections import namedtuple

# One measurement: `value` is ns per operation, or bytes per object for the sizes
# (memory, pickled size).
Row = namedtuple("Row", "op name floor inputs value")


def _number(x):
    return f"{x:,.0f}" if x >= 100 else f"{x:.1f}"


def table(rows, reference):
    """Markdown table; reference(op) names the tolvi row that the ratios are taken to."""
    lines = ["| operation | class | inputs | ns/op (bytes for sizes) | × tolvi | × floor |",
             "|---|---|---:|---:|---:|---:|"]
    for r in rows:
        base = next(x.value for x in rows if x.op == r.op and x.name == reference(r.op))
        floor = next((x.value for x in rows if x.op == r.op and x.floor), None)
        name = f"*floor: {r.name}*" if r.floor else r.name
        ratio_floor = f"{r.value / floor:.2f}" if floor else ""
        lines.append(f"| {r.op} | {name} | {r.inputs} | {_number(r.value)} | "
                     f"{r.value / base:.2f} | {ratio_floor} |")
    return "\n".join(lines)


def machine(settings):
    """A few lines on where and how the numbers were taken."""
    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    lines = [f"- date: {now}",
             f"- CPU: {cpu}, {os.cpu_count()} logical cores",
             f"- Python: {platform.python_implementation()} {platform.python_version()}"
             f" on {platform.system()} {platform.release()}"]
    lines += [f"- {key}: {value}" for key, value in settings.items()]
    return "\n".join(lines)


def chart(rows, ops, path, sized):
    """One panel per operation, two abreast, a horizontal bar per class, tolvi and the floor
    marked; the operations of `sized` are in bytes per object, the others in ns. The figure
    is as wide as the manual's text column, in inches, so that its labels are read there at
    about their size in points, and drawn at twice that column's pixels for the full-size
    view."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import matplotlib.ticker

    ops = [op for op in ops if any(r.op == op for r in rows)]
    groups = {op: [r for r in rows if r.op == op] for op in ops}
    cols = 2
    # Each row of panels as tall as its longest panel's bars, plus its title and axis.
    heights = [0.2 * max(len(groups[op]) for op in ops[i:i + cols]) + 0.9
               for i in range(0, len(ops), cols)]
    fig = plt.figure(figsize=(7.5, sum(heights)), layout="constrained")
    # A panel of its own for each operation, so that its title is centred over its labels
    # and its bars together, and a long one is not cut at the figure's edge.
    panels = fig.subfigures(len(heights), cols, squeeze=False, height_ratios=heights)
    for panel, op in zip(panels.flat, ops):
        group = groups[op]
        ax = panel.subplots()
        # The peers by their library's name, as the manual's table heads them.
        labels = [f"floor: {r.name}" if r.floor else r.name.split(".")[0]
                  if r.name.endswith(".Version") else r.name for r in group]
        colours = ["#bbbbbb" if r.floor else "#1f77b4" if r.name.startswith("tolvi")
                   else "#ff7f0e" for r in group]
        values = [r.value for r in group]
        ax.barh(labels, values, color=colours)
        ax.invert_yaxis()
        ax.set_xscale("log")
        # A panel within one decade (pickled sizes) would label its minor ticks, overlapping.
        ax.xaxis.set_minor_formatter(matplotlib.ticker.NullFormatter())
        panel.suptitle(op, fontsize=10.5)
        ax.set_xlabel("bytes per object (log)" if op in sized else "ns per operation (log)",
                      fontsize=9)
        ax.tick_params(labelsize=9)
        for y, v in enumerate(values):
            ax.text(v, y, " " + _number(v), va="center", fontsize=8.5)
        # Room for the figure after the longest bar, and some length for the shortest.
        ax.set_xlim(min(values) / 2, max(values) * 6)
    fig.savefig(path, dpi=200)
    plt.close(fig)


def rows_of(results):
    """The rows of a results.md's table, each figure as printed there."""
    rows, lines = [], results.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("| operation | class |"))
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        op, name, inputs, value = (cell.strip() for cell in line.strip("|").split("|")[:4])
        floor = name.startswith("*floor: ")
        name = name.removeprefix("*floor: ").removesuffix("*") if floor else name
        rows.append(Row(op, name, floor, inputs, float(value.replace(",", ""))))
    return rows


if __name__ == "__main__":
    # python benchmarks/report.py benchmarks/results/*/results.md: each chart drawn anew
    # from the table beside it, without measuring again.
    import sys
    from pathlib import Path

    from targets import SIZED, TIMED

    for results in map(Path, sys.argv[1:]):
        chart(rows_of(results.read_text(encoding="utf-8")), TIMED + SIZED,
              results.with_name("results.png"), SIZED)
