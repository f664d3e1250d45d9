#!/usr/bin/env python3
"""An independent FITS reader and writer for the tests: astropy.

  fits_peer.py read FILE     prints the first image unit of FILE as JSON
  fits_peer.py write DIR     writes sample files into DIR and prints what they hold as JSON

Images are {"shape": [planes,] rows, columns, "dtype": numpy name, "data": flat list}; the
first row is the file's first row. Exit status 3 when astropy is not installed.
"""
import json
import math
import os
import sys

try:
    import numpy as np
    from astropy.io import fits
except ImportError:
    sys.exit(3)


def describe(data):
    flat = [None if isinstance(v, float) and math.isnan(v) else v for v in data.ravel().tolist()]
    return {"shape": list(data.shape), "dtype": data.dtype.name, "data": flat}


def read(path):
    with fits.open(path) as hdus:
        for hdu in hdus:
            if isinstance(hdu, (fits.PrimaryHDU, fits.ImageHDU)) and hdu.data is not None:
                return describe(np.asarray(hdu.data))
    return None


def samples(shape, dtype, low, high):
    count = int(np.prod(shape))
    values = np.linspace(low, high, count)
    # A fixed shuffle, so that neighbours differ and row or plane mix-ups show.
    values = values[(np.arange(count) * 7919) % count]
    return values.astype(dtype).reshape(shape)


def write(folder):
    files = {
        "u8.fits": samples((5, 7), np.uint8, 0, 255),
        "i16.fits": samples((6, 4), np.int16, -32768, 32767),
        "u16.fits": samples((6, 9), np.uint16, 0, 65535),
        "i32.fits": samples((3, 5), np.int32, -2**31, 2**31 - 1),
        "f32.fits": samples((4, 6), np.float32, -1.5e6, 2.25e3),
        "f64.fits": samples((5, 3), np.float64, -1e-3, 7.5e9),
        "rgb8.fits": samples((3, 4, 5), np.uint8, 0, 255),
    }
    out = {}
    for name, data in files.items():
        fits.PrimaryHDU(data).writeto(os.path.join(folder, name), overwrite=True)
        out[name] = describe(data)
    return out


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("read", "write"):
        print(__doc__, file=sys.stderr)
        return 2
    result = read(sys.argv[2]) if sys.argv[1] == "read" else write(sys.argv[2])
    json.dump(result, sys.stdout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
