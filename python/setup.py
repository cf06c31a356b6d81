"""Builds sylvo._engine with CMake.

The engine (the static libsylvo_engine.a of the checkout this package lies
in) is built first in build-py/ at the top of the checkout, then the
extension in python/build/; both are incremental. Works offline:
pip install --no-build-isolation ./python
"""
import os
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        if not (ROOT / "include" / "sylvo" / "engine.hpp").is_file():
            sys.exit(f"setup.py: {ROOT} is not a Sylvo checkout (include/sylvo/engine.hpp is missing); "
                     "build the package from python/ inside the checkout")
        jobs = os.environ.get("SYLVO_BUILD_JOBS", "2")
        engine = Path(os.environ.get("SYLVO_ENGINE_BUILD", ROOT / "build-py"))
        subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(engine), "-DCMAKE_BUILD_TYPE=Release",
                               "-DSYLVO_BUILD_TESTS=OFF", "-DSYLVO_BUILD_BENCH=OFF",
                               "-DSYLVO_BUILD_EXAMPLES=OFF"])
        subprocess.check_call(["cmake", "--build", str(engine), "-j", jobs, "--target", "sylvo_engine_static"])

        found = [p for p in (engine / "engine" / "libsylvo_engine.a", engine / "lib" / "libsylvo_engine.a")
                 if p.is_file()]
        if not found:
            sys.exit(f"setup.py: the engine build in {engine} made no libsylvo_engine.a")
        out = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = HERE / "build" / "cmake"
        subprocess.check_call(["cmake", "-S", str(HERE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                               f"-DPython3_EXECUTABLE={sys.executable}",
                               f"-DSYLVO_SOURCE_DIR={ROOT}",
                               f"-DSYLVO_ENGINE_LIB={found[0]}",
                               f"-DCMAKE_LIBRARY_OUTPUT_DIRECTORY={out.parent}"])
        subprocess.check_call(["cmake", "--build", str(build), "-j", jobs])
        built = out.parent / Path(self.get_ext_filename(ext.name)).name
        if built != out:
            os.replace(built, out)


setup(ext_modules=[CMakeExtension("sylvo._engine")], cmdclass={"build_ext": CMakeBuild})
