"""Makes docs/bounded-landscape.png, the figure of the "Plots of any size" sections: the
400 x 300 soil grid of the batch tool's example (ESRI ASCII, 10 m cells), the density
after 20 steps of the bounded plot it sets up, and the individuals that left the plot
in each step.

    PYTHONPATH=build/python python3 docs/bounded-landscape.py
"""

import math
import pathlib
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

import glebix  # noqa: E402

OUT = pathlib.Path(__file__).resolve().parent / "bounded-landscape.png"
ROWS, COLS, STEPS = 300, 400, 20
HEADER = f"ncols {COLS}\nnrows {ROWS}\nxllcorner 500000\nyllcorner 6200000\ncellsize 10\n"


def soil(r, c):
    """The grid's value on the map's line r from the top and its column c: the same
    landscape as the example of docs/batch.md."""
    return f"{30 + 20 * math.sin(c / 40) * math.cos(r / 30):.1f}"


with tempfile.TemporaryDirectory() as scratch:
    grid = pathlib.Path(scratch) / "sol.asc"
    grid.write_text(HEADER + "".join(" ".join(soil(r, c) for c in range(COLS)) + "\n" for r in range(ROWS)))
    sim = glebix.Simulation(seed=7, steps=STEPS, EnvInitMode=0, EnvFilePath=str(grid), DistInitMode=2,
                            Edges="bounded")
    trace = sim.run()
    density = np.array(sim.density)
    land = np.loadtxt(grid, skiprows=HEADER.count("\n"))

# Kilometres from the grid's lower left corner (500000, 6200000).
extent = (0, COLS / 100, 0, ROWS / 100)
fig, (left, middle, right) = plt.subplots(1, 3, figsize=(13, 3.6), dpi=80, width_ratios=(1, 1, 0.8))
for ax, values, title, cmap in ((left, land, "soil grid (sol.asc)", "copper"),
                                (middle, density, f"density after {STEPS} steps", "viridis")):
    shown = ax.imshow(values, extent=extent, cmap=cmap, interpolation="nearest")
    fig.colorbar(shown, ax=ax, shrink=0.8)
    ax.set_title(title)
    ax.set_xlabel("km east")
    ax.set_ylabel("km north")
right.bar(np.asarray(trace["step"])[1:], np.asarray(trace["emigrants"])[1:], color="tab:red")
right.set_title("emigrants per step")
right.set_xlabel("time step")
fig.tight_layout()
# A palette of 256 colours keeps the noisy density map's file small.
fig.canvas.draw()
picture = Image.frombuffer("RGBA", fig.canvas.get_width_height(), fig.canvas.buffer_rgba())
picture.convert("RGB").quantize(256).save(OUT, optimize=True)
print(OUT)
