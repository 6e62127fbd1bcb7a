"""Times Pillow's median filter on the benchmark picture and prints milliseconds.

Run with Debian's interpreter (/usr/bin/python3), which has python3-pil. Pillow
filters each band on one thread. One run: a 7 x 7 median of 24 megapixels takes
most of a minute. Usage: pillow_median.py PICTURE WIDTH HEIGHT SIZE (packed blue,
green, red rows)."""
import sys
import time

from PIL import Image, ImageFilter


def main():
    path, width, height, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    with open(path, "rb") as f:
        rgb = Image.frombytes("RGB", (width, height), f.read(), "raw", "BGR")
    start = time.perf_counter()
    rgb.filter(ImageFilter.MedianFilter(size))
    print(f"{(time.perf_counter() - start) * 1000.0:.1f}")


if __name__ == "__main__":
    main()
