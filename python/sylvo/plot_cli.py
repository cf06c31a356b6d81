"""Draws a yield table's CSV (sylvo table --format csv) to a PNG or SVG file.

    python -m sylvo.plot_cli TABLE.csv|- OUT.png|OUT.svg [--title TEXT] [--stop TEXT]
    /usr/bin/python3 python/sylvo/plot_cli.py ...    (the same, without installing the package)

The picture is sylvo.plot.plot_yield_table's. Exit status 0 done, 2 bad
input (one line on standard error naming the argument).
"""
import argparse
import importlib.util
import os
import sys

if __name__ == "__main__" and not __package__:
    # Run as a file: this directory holds a module named dask, which must
    # not stand in for the real one.
    if sys.path and os.path.abspath(sys.path[0]) == os.path.dirname(os.path.abspath(__file__)):
        del sys.path[0]


def _plot_module():
    """sylvo.plot: from the package, or from beside this file when run as a
    file (it needs only pandas and matplotlib, not the engine)."""
    if __package__:
        from . import plot
        return plot
    found = importlib.util.spec_from_file_location(
        "sylvo_plot", os.path.join(os.path.dirname(os.path.abspath(__file__)), "plot.py"))
    plot = importlib.util.module_from_spec(found)
    found.loader.exec_module(plot)
    return plot


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python -m sylvo.plot_cli",
                                     description="Draw a yield table's CSV to a PNG or SVG file.")
    parser.add_argument("table", help="the CSV of sylvo table --format csv, or - for standard input")
    parser.add_argument("output", help="the picture to write: a .png or .svg file")
    parser.add_argument("--title", default=None, help="the title above the picture")
    parser.add_argument("--stop", default=None,
                        help="why the table stopped before its end age, written under the picture")
    args = parser.parse_args(argv)
    ext = os.path.splitext(args.output)[1].lower()
    if ext not in (".png", ".svg"):
        print(f"sylvo plot: output '{args.output}' is not a .png or .svg file; accepted: FILE.png or FILE.svg",
              file=sys.stderr)
        return 2

    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.fonttype"] = "none"  # text in an SVG stays text
    import pandas as pd
    from matplotlib import pyplot as plt
    plot_yield_table = _plot_module().plot_yield_table

    try:
        df = pd.read_csv(sys.stdin if args.table == "-" else args.table, float_precision="round_trip")
    except (OSError, ValueError) as e:
        print(f"sylvo plot: table '{args.table}' cannot be read ({e}); accepted: the CSV of sylvo table "
              "--format csv", file=sys.stderr)
        return 2
    if args.stop:
        df.attrs["stop"] = args.stop
    try:
        fig = plot_yield_table(df, title=args.title)
    except ValueError as e:
        print(f"sylvo plot: table '{args.table}': {e}", file=sys.stderr)
        return 2
    try:
        fig.savefig(args.output, dpi=120, bbox_inches="tight")
    except OSError as e:
        print(f"sylvo plot: output '{args.output}' cannot be written ({e})", file=sys.stderr)
        return 2
    plt.close(fig)
    return 0


if __name__ == "__main__":
    sys.exit(main())
