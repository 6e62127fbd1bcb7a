"""Turns the benchmark timings into the `make bench` lines.

Every comparison prints `bench <name> ratio=<ours / anchor> target=<largest
acceptable>`; the exit status is 1 when a ratio exceeds its target. Times are the
best of the repetitions on each side (the machines are shared: the fastest run is
the one least disturbed). Usage: compare.py OURS.json PILLOW.json"""
import json
import sys

# (name, ours, anchor, target). Ours run on one thread; the same comparison with
# two threads follows each, for the record (same target).
COMPARISONS = [
    ("scale_spline36_vs_vips_lanczos3", "ours_scale_spline36", "vips_scale_lanczos3", 1.25),
    ("scale_spline36_vs_pillow_lanczos", "ours_scale_spline36", "pillow_scale_lanczos", 1.25),
    ("scale_bilinear_vs_vips_linear", "ours_scale_bilinear", "vips_scale_linear", 1.25),
    ("scale_bilinear_vs_pillow_bilinear", "ours_scale_bilinear", "pillow_scale_bilinear", 1.25),
    ("rotate90_24_vs_memcpy", "ours_rotate90_24_kept_rows", "memcpy_24_kept_rows", 2.5),
    ("rotate90_32_vs_memcpy", "ours_rotate90_32_kept_rows", "memcpy_32_kept_rows", 2.5),
    ("rotate90_24_new_rows_vs_memcpy_new_rows", "ours_rotate90_24_new_rows",
     "memcpy_24_new_rows", 2.5),
    ("rotate90_32_new_rows_vs_memcpy_new_rows", "ours_rotate90_32_new_rows",
     "memcpy_32_new_rows", 2.5),
    # Pillow's repeated runs get their rows back from the C heap, already mapped:
    # our kept rows are the like case.
    ("rotate90_24_vs_pillow", "ours_rotate90_24_kept_rows", "pillow_rotate90_24", 1.0),
    ("rotate90_32_vs_pillow", "ours_rotate90_32_kept_rows", "pillow_rotate90_32", 1.0),
    ("rotate30_bilinear_vs_vips", "ours_rotate30_bilinear", "vips_rotate30_bilinear", 1.0),
    ("rotate30_bilinear_vs_pillow", "ours_rotate30_bilinear", "pillow_rotate30_bilinear", 1.0),
    ("quantize256_dither_vs_pillow", "ours_quantize256_dither", "pillow_quantize256_dither", 1.0),
    ("convert_24_to_32_vs_memcpy", "ours_convert_24_32_kept_rows", "memcpy_32_kept_rows", 2.0),
    ("convert_32_to_24_vs_memcpy", "ours_convert_32_24_kept_rows", "memcpy_32_kept_rows", 2.0),
    ("convert_24_to_32_new_rows_vs_memcpy_new_rows", "ours_convert_24_32_new_rows",
     "memcpy_32_new_rows", 2.0),
    ("convert_32_to_24_new_rows_vs_memcpy_new_rows", "ours_convert_32_24_new_rows",
     "memcpy_32_new_rows", 2.0),
    # The document: a two-layer composite in "norm" and mirrors in place, against a
    # copy of the composite's (the layer's) bytes.
    ("composite_norm_2layers_vs_memcpy", "ours_composite_norm_2layers", "memcpy_32_kept_rows",
     3.0),
    ("mirror_vertical_32_vs_memcpy", "ours_mirror_vertical_32", "memcpy_32_kept_rows", 1.5),
    ("mirror_horizontal_32_vs_memcpy", "ours_mirror_horizontal_32", "memcpy_32_kept_rows", 2.5),
]


def load_ours(path):
    """Best real time per benchmark (ms), keyed by name and thread count."""
    with open(path) as f:
        report = json.load(f)
    best, counters = {}, {}
    for run in report["benchmarks"]:
        if run.get("run_type") != "iteration" or run.get("error_occurred"):
            continue
        parts = run["run_name"].split("/")
        key = parts[0] if len(parts) < 2 or not parts[1].isdigit() else parts[0] + "/" + parts[1]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
        best[key] = min(best.get(key, float("inf")), run["real_time"] * scale)
        if "mse" in run:
            counters[key + ":mse"] = run["mse"]
    return best, counters


def main():
    ours, counters = load_ours(sys.argv[1])
    with open(sys.argv[2]) as f:
        anchors = json.load(f)
    anchors.update({k: v for k, v in ours.items() if not k.startswith("ours_")})
    failed = []

    def line(name, value, target):
        print(f"bench {name} ratio={value:.3f} target={target}")
        if not value <= target:
            failed.append(name)

    for name, mine, anchor, target in COMPARISONS:
        keyed = [k for k in (mine + "/1", mine) if k in ours]
        if not keyed or anchor not in anchors:
            print(f"bench {name} ratio=missing target={target}")
            failed.append(name)
            continue
        line(name, ours[keyed[0]] / anchors[anchor], target)
        if mine + "/2" in ours:
            line(name + "_2threads", ours[mine + "/2"] / anchors[anchor], target)
    # Quality: our squared error over Pillow's (at most 1: PSNR at least Pillow's).
    mine = counters.get("ours_quantize256_dither/1:mse")
    theirs = anchors.get("pillow_quantize256_mse")
    if mine is None or theirs is None:
        print("bench quantize256_dither_mse_vs_pillow ratio=missing target=1.0")
        failed.append("quantize256_dither_mse_vs_pillow")
    else:
        line("quantize256_dither_mse_vs_pillow", mine / theirs, 1.0)
    if failed:
        print("bench: over target: " + " ".join(failed), file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
