"""The compiled module glebix._core is built by the repository's CMake build, so that it
has the sources and the compile options (those results depend on) of every other build;
only the engine, the batch tool's Qt-free core, its animated maps (QtGui, giflib) and
the module are compiled."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODULE_TARGET = "glebix_python"

CMAKE_OPTIONS = [
    "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
    "-DGLEBIX_PYTHON=ON",
    "-DGLEBIX_BUILD_BATCH=OFF",
    "-DGLEBIX_BUILD_UI=OFF",
    "-DGLEBIX_BUILD_BENCH=OFF",
    "-DGLEBIX_BUILD_TESTS=OFF",
]


def project_version():
    """The version the CMake project declares."""
    found = re.search(r"project\(\s*Glebix\s+VERSION\s+([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if not found:
        raise RuntimeError(f"{ROOT / 'CMakeLists.txt'} : version du projet introuvable")
    return found.group(1)


class CMakeBuild(build_ext):
    """Configures and builds the module's target in a CMake tree that is kept (so that a
    second install compiles only what changed), then copies it where setuptools expects
    it. The tree is GLEBIX_PIP_BUILD_DIR when set, else a folder of build_temp."""

    def build_extension(self, ext):
        cmake = os.environ.get("CMAKE", "cmake")
        tree = pathlib.Path(os.environ.get("GLEBIX_PIP_BUILD_DIR") or pathlib.Path(self.build_temp) / "cmake").resolve()
        generator = ["-G", "Ninja"] if shutil.which("ninja") and not (tree / "CMakeCache.txt").exists() else []
        subprocess.run([cmake, "-S", str(ROOT), "-B", str(tree), *generator, *CMAKE_OPTIONS,
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        jobs = ["-j", str(self.parallel)] if self.parallel else []
        subprocess.run([cmake, "--build", str(tree), "--target", MODULE_TARGET, *jobs], check=True)
        built = sorted((tree / "python" / "glebix").glob("_core*.so"))
        if len(built) != 1:
            raise RuntimeError(f"{tree} : module compilé _core introuvable ou en double : {built}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        # The modules it opens on first need (GIS, pictures) lie beside it.
        for source, place in [(built[0], target)] + [
                (module, target.with_name(module.name)) for module in sorted(built[0].parent.glob("glebix-*.so"))]:
            partial = place.with_name(place.name + ".part")
            shutil.copyfile(source, partial)
            os.replace(partial, place)


setup(
    version=project_version(),
    ext_modules=[Extension("glebix._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
