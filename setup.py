"""Builds the compiled module of the Python package with CMake (the option
XQOVA_PYTHON) and puts it beside the package's Python files. Used by
`pip install --no-build-isolation .`; the version is the one project() in
CMakeLists.txt states."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
VERSION = re.search(r"project\(xqova VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DXQOVA_PYTHON=ON", "-DXQOVA_BUILD_TESTS=OFF", "-DXQOVA_BUILD_TOOLS=OFF",
                     "-DPython_EXECUTABLE=" + sys.executable]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_xqova",
                               "--parallel", os.environ.get("XQOVA_BUILD_JOBS", "2")])
        built = next((build / "python" / "xqova").glob("_xqova*" + os.path.splitext(self.get_ext_filename("x"))[1]))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=VERSION,
    packages=["xqova"],
    package_dir={"xqova": "python/xqova"},
    package_data={"xqova": ["py.typed", "_xqova.pyi"]},
    ext_modules=[Extension("xqova._xqova", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
