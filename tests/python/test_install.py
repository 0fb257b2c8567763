"""`cmake --install` puts a package that imports and runs outside the build folder."""

import os
import pathlib
import subprocess
import sys

import pytest

BUILD = os.environ.get("GLEBIX_BUILD_DIR")


@pytest.mark.skipif(not BUILD, reason="needs the build folder (GLEBIX_BUILD_DIR), as ctest gives it")
def test_the_installed_package_imports_and_runs(tmp_path):
    cmake = os.environ.get("GLEBIX_CMAKE", "cmake")
    subprocess.run([cmake, "--install", BUILD, "--prefix", tmp_path, "--component", "python"], check=True,
                   capture_output=True)
    site = tmp_path / os.environ["GLEBIX_PYTHON_INSTALL_DIR"]
    script = "import glebix; print(glebix.__file__); print(glebix.Simulation(seed=1, steps=5).run().step.iloc[-1])"
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"} | {"PYTHONPATH": str(site)}
    done = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    where, last_step = done.stdout.split()
    assert pathlib.Path(where).parent == site / "glebix" and last_step == "5"
