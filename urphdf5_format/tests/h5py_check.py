#!/usr/bin/env python3
"""Prints, as JSON, what h5py sees in an HDF5 image file: the root attributes and the pixels.

Exits with 77 when h5py is not installed, so that the calling test can skip."""
import json
import sys

try:
    import h5py
except ImportError:
    sys.stderr.write("python3-h5py is not installed\n")
    sys.exit(77)


def text(value):
    return value.decode("utf-8") if isinstance(value, bytes) else str(value)


with h5py.File(sys.argv[1], "r") as f:
    pixels = f["image_data/image/pixels"]
    json.dump({
        "NAME": text(f.attrs["NAME"]),
        "UR_HDF5_VERSION_MAJOR": int(f.attrs["UR_HDF5_VERSION_MAJOR"]),
        "UR_HDF5_VERSION_MINOR": int(f.attrs["UR_HDF5_VERSION_MINOR"]),
        "shape": list(pixels.shape),
        "dtype": str(pixels.dtype),
        "pixels": [int(v) for v in pixels[...].ravel()],
    }, sys.stdout)
