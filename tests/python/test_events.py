"""A schedule of management events from Python: the run the batch tool makes with
--events, and a faulty schedule refused at set-up with its file, line and column."""

import numpy as np
import pytest

import glebix

from conftest import batch, table_lines, trace_lines  # noqa: F401  (the fixture)

HEADER = "step,every,action,where,value\n"


def track(path):
    rows = ["ncols 50", "nrows 50", "xllcorner 0", "yllcorner 0", "cellsize 1"]
    rows += [" ".join("1" if 10 <= i <= 12 else "0" for i in range(1, 51))] * 50
    path.write_text("\n".join(rows) + "\n")


def test_events_run_as_the_batch_tool_runs_them(batch, tmp_path):
    track(tmp_path / "track.asc")
    (tmp_path / "ev.csv").write_text(HEADER + "4,5,set_compacted,track.asc,90\n6,,remove_fauna,all,0.3\n"
                                     "8,,set,EnvDynamic,off\n")
    batch("--seed", 6, "--steps", 15, "--events", "ev.csv", "--trace", "t.csv", "--out", "out")
    sim = glebix.Simulation(seed=6, steps=15, EventsFilePath=tmp_path / "ev.csv")
    assert table_lines(sim.run()) == trace_lines(tmp_path / "t.csv")
    # The masked rows i (columns of the north-up grid) hold the share set at step 14,
    # the soil changing no more from step 8 on.
    assert np.all(sim.compacted[:, 9:12] == 90)
    (tmp_path / "py").mkdir()
    sim.write_result_file(tmp_path / "py")
    assert (tmp_path / "py/RireVed1a1p1.txt").read_bytes() == (tmp_path / "out/RireVed1a1p1.txt").read_bytes()


def test_a_faulty_schedule_is_refused_at_set_up(tmp_path):
    (tmp_path / "ev.csv").write_text(HEADER + "3,,remove_fauna,all,2\n")
    with pytest.raises(Exception, match=r"ev\.csv:2: colonne value : «2»"):
        glebix.Simulation(seed=1, steps=5, EventsFilePath=tmp_path / "ev.csv").run()


def test_a_geotiff_mask_acts_as_the_same_cells_in_an_ascii_grid(batch, tmp_path):
    from osgeo import gdal

    gdal.UseExceptions()
    track(tmp_path / "track.asc")
    gdal.Translate(str(tmp_path / "track.tif"), str(tmp_path / "track.asc"), format="GTiff")
    for name in ("asc", "tif"):
        (tmp_path / f"{name}.csv").write_text(HEADER + f"3,4,add_compacted,track.{name},30\n5,,remove_fauna,track.{name},0.6\n")
        batch("--seed", 2, "--steps", 12, "--events", f"{name}.csv", "--out", name)
    assert (tmp_path / "asc/RireVed1a1p1.txt").read_bytes() == (tmp_path / "tif/RireVed1a1p1.txt").read_bytes()
    plain = batch("--seed", 2, "--steps", 12, "--out", "plain")
    assert plain.returncode == 0
    assert (tmp_path / "plain/RireVed1a1p1.txt").read_bytes() != (tmp_path / "tif/RireVed1a1p1.txt").read_bytes()
