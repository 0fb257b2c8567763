#!/usr/bin/env python3
"""The figure of docs/batch.md's worked design example.

Runs the example study with the batch tool (unless a table is given), then draws the
mean total count against time for each point of the design, with a band from the
lowest to the highest replicate, and saves docs/design-example.png.

    scripts/figures/design_example.py [--batch build/glebix-batch] [--table study.csv]
"""
import argparse
import os
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import pandas as pd  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

DESIGN = """# survival.csv: three survival values, with and without dispersal first
Survival,DispersalFirst
0.30,off
0.35,off
0.40,off
0.30,on
0.35,on
0.40,on
"""


def run_study(batch, folder):
    design = os.path.join(folder, "survival.csv")
    with open(design, "w", encoding="utf-8") as f:
        f.write(DESIGN)
    table = os.path.join(folder, "study.csv")
    subprocess.run([batch, "--design", design, "--replicates", "10", "--seed", "20240601",
                    "--steps", "100", "--table", table, "--quiet"], check=True)
    return table


def draw(table, picture):
    t = pd.read_csv(table)
    runs = t.groupby(["point", "Survival", "DispersalFirst", "step"]).total_density
    stats = runs.agg(["mean", "min", "max"]).reset_index()
    fig, ax = plt.subplots(figsize=(7, 4.2), dpi=110)
    colours = {0.30: "tab:blue", 0.35: "tab:orange", 0.40: "tab:green"}
    for (point, survival, first), g in stats.groupby(["point", "Survival", "DispersalFirst"]):
        style = "-" if first == "off" else "--"
        label = f"Survival {survival:.2f}, DispersalFirst {first}"
        colour = colours.get(round(survival, 2), "grey")
        ax.plot(g.step, g["mean"], style, color=colour, label=label)
        ax.fill_between(g.step, g["min"], g["max"], color=colour, alpha=0.12, linewidth=0)
    ax.set_yscale("symlog", linthresh=10)
    ax.set_xlabel("step")
    ax.set_ylabel("total count (mean of 10 replicates; band: min to max)")
    ax.set_title("One design, one table: --design survival.csv --replicates 10 --table study.csv", fontsize=9)
    ax.legend(fontsize=7, loc="best")
    fig.tight_layout()
    partial = picture + ".part.png"
    fig.savefig(partial)
    os.replace(partial, picture)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", default=os.path.join(ROOT, "build", "glebix-batch"))
    parser.add_argument("--table", help="an existing study table; the study is run otherwise")
    parser.add_argument("--out", default=os.path.join(ROOT, "docs", "design-example.png"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        table = args.table or run_study(args.batch, folder)
        draw(table, args.out)
    print(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
