"""Builds the compiled part of the velxmln package against an installed VelXmlN library.

The library is found with pkg-config (velxmln.pc): installed from the Debian package it is found
as it is; for another prefix, point PKG_CONFIG_PATH at <prefix>/lib/pkgconfig. The module keeps
the library's folder as its RUNPATH, so it loads that very library without LD_LIBRARY_PATH.
"""

import os
import subprocess
import sys

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup


def pkg_config(*arguments):
    try:
        result = subprocess.run(
            ["pkg-config", *arguments, "velxmln"], check=True, capture_output=True, text=True
        )
    except (OSError, subprocess.CalledProcessError) as error:
        detail = getattr(error, "stderr", "") or str(error)
        sys.exit(
            "velxmln: the VelXmlN library was not found by pkg-config (%s).\n"
            "Install it (the velxmln Debian package, or cmake --install build --prefix PREFIX)\n"
            "and set PKG_CONFIG_PATH=PREFIX/lib/pkgconfig for a prefix of your own."
            % detail.strip()
        )
    return result.stdout.strip()


library_dir = os.path.realpath(pkg_config("--variable=libdir"))
module = Pybind11Extension(
    "velxmln._velxmln",
    ["src/module.cpp"],
    include_dirs=[pkg_config("--variable=includedir")],
    library_dirs=[library_dir],
    libraries=["velxmln"],
    runtime_library_dirs=[library_dir],
    cxx_std=17,
)

setup(version=pkg_config("--modversion"), ext_modules=[module], cmdclass={"build_ext": build_ext})
