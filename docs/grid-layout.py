"""Makes docs/grid-layout.png, the figure of the grids' layout on the Python and R
pages: a run's density drawn by matplotlib's imshow straight from sim.density, each
corner labelled with its index in Python and in R and the model's cell.

    PYTHONPATH=build/python python3 docs/grid-layout.py
"""

import os
import pathlib
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import glebix  # noqa: E402

# The population starts as a triangle in the map's top left corner, written as a grid
# file whose first line is the map's top line, and spreads from there.
lines = [" ".join("40" if k + l < 25 else "0" for l in range(50)) for k in range(50)]
start = pathlib.Path(tempfile.mkdtemp()) / "start.asc"
start.write_text("ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n" + "\n".join(lines) + "\n")
sim = glebix.Simulation(seed=20240601, steps=8, DistInitMode=0, DistFilePath=start, ChartCellX=3, ChartCellY=40)
sim.run()

fig, ax = plt.subplots(figsize=(5.6, 5.2), dpi=100)
shown = ax.imshow(sim.density, cmap="YlGn", interpolation="nearest")
fig.colorbar(shown, ax=ax, shrink=0.8, label="individuals in the cell")
corners = [  # (line, column) of the array, then where the label goes
    ((0, 0), "left", "top"),
    ((0, 49), "right", "top"),
    ((49, 0), "left", "bottom"),
    ((49, 49), "right", "bottom"),
]
for (k, l), ha, va in corners:
    i, j = l + 1, 50 - k  # the model's row and column
    text = f"density[{k}, {l}]\nR: density[{i}, {j}]\ncell({i}, {j})"
    ax.annotate(text, (l, k), xytext=(l + (1.5 if ha == "left" else -1.5), k + (1.5 if va == "top" else -1.5)),
                ha=ha, va=va, fontsize=8, bbox=dict(boxstyle="round", fc="white", alpha=0.85),
                arrowprops=dict(arrowstyle="->", lw=0.8))
i, j = sim.chart_cell
ax.plot(i - 1, 50 - j, "s", mfc="none", mec="crimson", ms=9)
ax.annotate(f"sim.chart_cell = ({i}, {j})", (i - 1, 50 - j), xytext=(i + 4, 50 - j + 4), color="crimson",
            fontsize=8, bbox=dict(boxstyle="round", fc="white", alpha=0.85))
ax.set_title("plt.imshow(sim.density): the map as the program draws it", fontsize=10)
ax.set_xlabel("second index: the map's column from the left", fontsize=9)
ax.set_ylabel("first index: the map's line from the top", fontsize=9)
fig.tight_layout()
out = pathlib.Path(__file__).with_name("grid-layout.png")
fig.savefig(out, metadata={"Software": None})
print(os.path.relpath(out))
