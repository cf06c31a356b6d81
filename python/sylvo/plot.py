"""A yield table drawn as a forester reads one.

Upper panel, over age: total and merchantable volume (m3/ha, left axis),
dominant height (m) and basal area (m2/ha) on a right axis, and trees per
hectare on a second right axis. Each thinning shows as the drop between its
two rows, with the removed volume as a bar at its age and the removals
written beside it. Lower panel: mean annual increment (MAI) at each row and
periodic annual increment (PAI) at the middle of each period, in m3/ha/yr,
with the culmination of MAI marked.

This module only draws: the numbers are the table's (sylvo.yield_table, or
the CSV of sylvo table --format csv read with pandas). It needs only pandas
and matplotlib, not the engine.
"""
import math

import numpy as np

# Columns the plot reads.
_NEEDED = ("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha", "merch_volume_m3_per_ha",
           "removed_trees_per_ha", "removed_ba_m2_per_ha", "removed_volume_m3_per_ha", "mai_m3_per_ha_yr",
           "pai_m3_per_ha_yr")

COLOURS = {"volume": "#1b5e20", "merch": "#66bb6a", "height": "#0d47a1", "ba": "#e65100", "trees": "#6a1b9a",
           "removed": "#8d6e63", "mai": "#1b5e20", "pai": "#c62828"}


def _fmt(x, digits=1):
    return "" if x is None or (isinstance(x, float) and math.isnan(x)) else f"{x:,.{digits}f}"


def _title(df):
    a = df.attrs
    if "model_name" not in a:
        return "Yield table"
    t = f"Yield table, {a['model_name']} (version {a['version']:g}), site index {a['site']:.2f} m"
    if a.get("merch_limit") is not None:
        t += f", merchantable limit {a['merch_limit']:g} cm"
    return t


def plot_yield_table(df, ax=None, title=None):
    """Draws the yield table DF; returns the matplotlib Figure.

    AX: None (a new figure with both panels), or a pair of Axes (stand,
    increments) to draw into. TITLE defaults to the model, version and site
    index in df.attrs (as sylvo.yield_table sets them).
    """
    import matplotlib.pyplot as plt

    missing = [c for c in _NEEDED if c not in df.columns]
    if missing:
        raise ValueError(f"df: lacks the column{'s' if len(missing) > 1 else ''} {', '.join(missing)}; "
                         "accepted: a yield table (sylvo.yield_table, or sylvo table --format csv)")
    if len(df) == 0:
        raise ValueError("df: has no rows; accepted: a yield table with at least one row")
    if ax is None:
        fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(9, 7.5),
                                          gridspec_kw={"height_ratios": [2.2, 1]})
    else:
        try:
            top, bottom = ax
        except (TypeError, ValueError):
            raise ValueError("ax: accepted: None, or a pair of Axes (stand panel, increment panel)") from None
        fig = top.figure

    num = lambda c: df[c].to_numpy(dtype=float)  # noqa: E731
    age = num("age_yr")
    removed_trees, removed_ba, removed_vol = num("removed_trees_per_ha"), num("removed_ba_m2_per_ha"), num(
        "removed_volume_m3_per_ha")
    thinned = ~np.isnan(removed_trees) | ~np.isnan(removed_ba)

    # Upper panel: volumes left, height and basal area right, trees further right.
    top.plot(age, num("volume_m3_per_ha"), color=COLOURS["volume"], lw=2, label="total volume (m³/ha)")
    merch = num("merch_volume_m3_per_ha")
    if not np.all(np.isnan(merch)):
        top.plot(age, merch, color=COLOURS["merch"], lw=1.5, ls="--", label="merchantable volume (m³/ha)")
    top.set_ylabel("volume (m³/ha)")
    top.set_ylim(bottom=0)
    right = top.twinx()
    right.plot(age, num("height_m"), color=COLOURS["height"], lw=1.5, label="dominant height (m)")
    right.plot(age, num("ba_m2_per_ha"), color=COLOURS["ba"], lw=1.5, label="basal area (m²/ha)")
    right.set_ylabel("height (m), basal area (m²/ha)")
    right.set_ylim(bottom=0)
    trees_ax = top.twinx()
    trees_ax.spines["right"].set_position(("axes", 1.12))
    trees_ax.plot(age, num("trees_per_ha"), color=COLOURS["trees"], lw=1.2, ls=":", label="trees (/ha)")
    trees_ax.set_ylabel("trees (/ha)", color=COLOURS["trees"])
    trees_ax.tick_params(axis="y", colors=COLOURS["trees"])
    trees_ax.set_ylim(bottom=0)

    # Thinnings: the removed volume as a bar at the thinning's age, a line
    # through both panels, and the removals written beside it.
    span = (np.nanmax(age) - np.nanmin(age)) or 1.0
    first_bar = True
    for i in np.flatnonzero(thinned):
        a = age[i]
        if not np.isnan(removed_vol[i]):
            top.bar(a, removed_vol[i], width=span * 0.015, color=COLOURS["removed"], alpha=0.8,
                    label="removed volume (m³/ha)" if first_bar else None, zorder=1)
            first_bar = False
        for p in (top, bottom):
            p.axvline(a, color=COLOURS["removed"], lw=0.8, ls="-.", alpha=0.7)
        top.annotate(f"thinning at {a:g}:\n−{_fmt(removed_trees[i], 0)} trees/ha\n−{_fmt(removed_ba[i])} m²/ha"
                     f"\n−{_fmt(removed_vol[i])} m³/ha",
                     xy=(a, 0), xycoords=("data", "axes fraction"), xytext=(4, 4), textcoords="offset points",
                     fontsize=7, color=COLOURS["removed"], va="bottom")

    handles = []
    for axis in (top, right, trees_ax):
        h, _ = axis.get_legend_handles_labels()
        handles += h
    top.legend(handles=handles, loc="upper left", fontsize=8, framealpha=0.85)
    top.set_title(title if title is not None else _title(df), fontsize=10)
    top.grid(True, alpha=0.3)

    # Lower panel: MAI at every row, PAI at the middle of its period.
    mai = num("mai_m3_per_ha_yr")
    pai = num("pai_m3_per_ha_yr")
    bottom.plot(age, mai, color=COLOURS["mai"], lw=2, marker="o", ms=3, label="MAI (m³/ha/yr)")
    prev = np.concatenate(([np.nan], age[:-1]))
    has_pai = ~np.isnan(pai)
    bottom.plot((prev[has_pai] + age[has_pai]) / 2, pai[has_pai], color=COLOURS["pai"], lw=1.5, marker="s", ms=3,
                label="PAI (m³/ha/yr), at mid-period")
    if not np.all(np.isnan(mai)):
        k = int(np.nanargmax(mai))
        last = k == len(mai) - 1 or np.all(age[k + 1:] == age[k])
        text = (f"MAI still rising at {age[k]:g} yr: {mai[k]:.2f}" if last else
                f"MAI culminates at {age[k]:g} yr: {mai[k]:.2f} m³/ha/yr")
        bottom.plot([age[k]], [mai[k]], marker="*", ms=14, color="#fbc02d", mec="black", ls="none",
                    label="culmination of MAI" if not last else "highest MAI", zorder=5)
        bottom.annotate(text, xy=(age[k], mai[k]), xytext=(8, 8), textcoords="offset points", fontsize=8,
                        bbox=dict(boxstyle="round", fc="white", ec="none", alpha=0.8))
    bottom.axhline(0, color="black", lw=0.6)
    bottom.set_xlabel("age (yr)")
    bottom.set_ylabel("increment (m³/ha/yr)")
    bottom.legend(loc="best", fontsize=8, framealpha=0.85)
    bottom.grid(True, alpha=0.3)

    stop = df.attrs.get("stop")
    if stop:
        bottom.annotate(stop, xy=(0, -0.38), xycoords="axes fraction", fontsize=7, color="#b71c1c", va="top")
    if ax is None:
        fig.tight_layout()
    return fig
