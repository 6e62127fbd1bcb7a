"""Times Pillow on the benchmark picture and prints the results as JSON.

Run with Debian's interpreter (/usr/bin/python3), which has python3-pil. Each
operation is timed alone, best of a few runs; Pillow uses one thread here.
Usage: pillow_anchor.py PICTURE WIDTH HEIGHT (packed blue, green, red rows)."""
import json
import math
import sys
import time

from PIL import Image, ImageChops, ImageStat


def best_of(runs, operation):
    best = math.inf
    for _ in range(runs):
        start = time.perf_counter()
        operation()
        best = min(best, time.perf_counter() - start)
    return best * 1000.0  # milliseconds


def main():
    path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    with open(path, "rb") as f:
        raw = f.read()
    rgb = Image.frombytes("RGB", (width, height), raw, "raw", "BGR")
    rgba = rgb.convert("RGBA")
    size = (1920, 1280)
    results = {
        "pillow_scale_lanczos": best_of(3, lambda: rgb.resize(size, Image.Resampling.LANCZOS)),
        "pillow_scale_bilinear": best_of(3, lambda: rgb.resize(size, Image.Resampling.BILINEAR)),
        # Pillow turns counter-clockwise: 270 is our 90.
        "pillow_rotate90_24": best_of(3, lambda: rgb.transpose(Image.Transpose.ROTATE_270)),
        "pillow_rotate90_32": best_of(3, lambda: rgba.transpose(Image.Transpose.ROTATE_270)),
        "pillow_rotate30_bilinear": best_of(
            2, lambda: rgb.rotate(-30, resample=Image.Resampling.BILINEAR, expand=True)),
    }

    # Median cut for the palette, then the picture remapped onto it with
    # Floyd-Steinberg: Pillow's own quantiser does not diffuse errors.
    remapped = []

    def quantise():
        palette = rgb.quantize(256, method=Image.Quantize.MEDIANCUT)
        remapped[:] = [rgb.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG)]

    results["pillow_quantize256_dither"] = best_of(2, quantise)
    difference = ImageChops.difference(rgb, remapped[0].convert("RGB"))
    results["pillow_quantize256_mse"] = sum(ImageStat.Stat(difference).sum2) / (width * height * 3)
    json.dump(results, sys.stdout, indent=1)


if __name__ == "__main__":
    main()
