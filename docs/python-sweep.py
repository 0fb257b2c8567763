"""Makes docs/python-sweep.png, the figure of the Python page: a sweep of Survival,
ten replicates each, the total count over time (median and 10-90 % band per value).

    PYTHONPATH=build/python python3 docs/python-sweep.py
"""

import os
import pathlib

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import pandas as pd  # noqa: E402

import glebix  # noqa: E402

design = pd.DataFrame({"Survival": [0.30, 0.35, 0.40, 0.45, 0.50]})
table = glebix.sweep(design, replicates=10, seed=20240601, steps=300, DispersalFirst=True)

# One band per Survival: quantiles over the replicates at each step.
bands = table.groupby(["Survival", "step"]).total_density.quantile([0.1, 0.5, 0.9]).unstack()

fig, ax = plt.subplots(figsize=(7, 4.2), dpi=110)
for survival, band in bands.groupby(level="Survival"):
    steps = band.index.get_level_values("step")
    line = ax.plot(steps, band[0.5], label=f"{survival:.2f}")[0]
    ax.fill_between(steps, band[0.1], band[0.9], color=line.get_color(), alpha=0.2, linewidth=0)
ax.set_xlabel("time step")
ax.set_ylabel("individuals on the plot")
ax.set_yscale("symlog", linthresh=10)
ax.set_title("Survival sweep, 10 replicates each (median, 10-90 %)")
ax.legend(title="Survival", frameon=False)
fig.tight_layout()

target = pathlib.Path(__file__).with_name("python-sweep.png")
temporary = target.with_name(target.name + ".tmp")
fig.savefig(temporary, format="png")
os.replace(temporary, target)
print(f"{target}: {len(table)} rows, seed {table.attrs['master_seed']}")
