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
    """One panel per operation, a horizontal bar per class, tolvi and the floor marked;
    the operations of `sized` are in bytes per object, the others in ns."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import matplotlib.ticker

    cols = 3
    nrows = -(-len(ops) // cols)
    fig, axes = plt.subplots(nrows, cols, figsize=(16, 3.2 * nrows))
    for ax, op in zip(axes.flat, ops):
        group = [r for r in rows if r.op == op]
        labels = [f"floor: {r.name}" if r.floor else r.name for r in group]
        colours = ["#bbbbbb" if r.floor else "#1f77b4" if r.name.startswith("tolvi")
                   else "#ff7f0e" for r in group]
        values = [r.value for r in group]
        ax.barh(labels, values, color=colours)
        ax.invert_yaxis()
        ax.set_xscale("log")
        # A panel within one decade (pickled sizes) would label its minor ticks, overlapping.
        ax.xaxis.set_minor_formatter(matplotlib.ticker.NullFormatter())
        ax.set_title(op, fontsize=10)
        ax.set_xlabel("bytes per object (log)" if op in sized else "ns per operation (log)",
                      fontsize=8)
        ax.tick_params(labelsize=7)
        for y, v in enumerate(values):
            ax.text(v, y, " " + _number(v), va="center", fontsize=7)
        ax.set_xlim(right=max(values) * 4)
    for ax in list(axes.flat)[len(ops):]:
        ax.axis("off")
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)
