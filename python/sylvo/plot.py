"""Yield tables drawn as small multiples over a shared age axis.

One panel per quantity, each with its own unit: trees per hectare, basal
area (m2/ha), dominant height (m), volumes (total and merchantable, m3/ha,
with each thinning's removed volume as a bar at its age), and the mean and
periodic annual increments (MAI at each row, PAI at the middle of each
period, m3/ha/yr) with the culmination of MAI marked. Thinnings are a thin
vertical line through every panel. The legend and the notes (where MAI
culminates, why a table stopped) sit in a panel of their own, so no text
lies over a line or over other text.

Several tables - a dict {name: table}, or one long table with a `regime` or
`scenario` column - are overlaid in every panel, one colour each, to compare
regimes.

This module only draws: the numbers are the tables' (sylvo.yield_table, or
the CSV of sylvo table --format csv read with pandas). It needs only pandas
and matplotlib, not the engine.
"""
import math
import textwrap

import numpy as np

# Columns the plot reads.
_NEEDED = ("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha", "merch_volume_m3_per_ha",
           "removed_trees_per_ha", "removed_ba_m2_per_ha", "removed_volume_m3_per_ha", "mai_m3_per_ha_yr",
           "pai_m3_per_ha_yr")

# The panels, in order: (key, y label).
PANELS = (("trees", "trees (/ha)"), ("ba", "basal area (m²/ha)"), ("height", "dominant height (m)"),
          ("volume", "volume (m³/ha)"), ("increment", "increment (m³/ha/yr)"))

# One colour per table (the first is the one-table colour).
COLOURS = ("#1b5e20", "#0d47a1", "#c62828", "#6a1b9a", "#e65100", "#00838f", "#5d4037", "#ad1457")
REMOVED = "#8d6e63"
GROUP_COLUMNS = ("regime", "scenario")


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


def _tables(data):
    """[(name or None, table)] of DATA: one table, a dict of tables, or a long
    table with a regime or scenario column."""
    if isinstance(data, dict):
        if not data:
            raise ValueError("df: an empty dict; accepted: a yield table, a dict {name: table} or a long table "
                             "with a regime or scenario column")
        return [(str(k), v) for k, v in data.items()]
    if not hasattr(data, "columns"):
        raise ValueError(f"df: {type(data).__name__} is not a yield table; accepted: a DataFrame, a dict "
                         "{name: table} or a long table with a regime or scenario column")
    for column in GROUP_COLUMNS:
        if column in data.columns:
            groups = [(str(k), g) for k, g in data.groupby(column, sort=False)]
            for _, g in groups:
                g.attrs = dict(data.attrs)
            return groups or [(None, data)]
    return [(None, data)]


def _check(name, df):
    where = "df" if name is None else f"df[{name!r}]"
    missing = [c for c in _NEEDED if c not in df.columns]
    if missing:
        raise ValueError(f"{where}: lacks the column{'s' if len(missing) > 1 else ''} {', '.join(missing)}; "
                         "accepted: a yield table (sylvo.yield_table, or sylvo table --format csv)")
    if len(df) == 0:
        raise ValueError(f"{where}: has no rows; accepted: a yield table with at least one row")


def culmination(df):
    """(age, MAI, whether MAI still rises at the table's end) of the highest
    MAI of table DF, or None when it has no MAI."""
    age = df["age_yr"].to_numpy(dtype=float)
    mai = df["mai_m3_per_ha_yr"].to_numpy(dtype=float)
    if np.all(np.isnan(mai)):
        return None
    k = int(np.nanargmax(mai))
    rising = k == len(mai) - 1 or bool(np.all(age[k + 1:] == age[k]))
    # A table harvested where MAI culminates ends at its culmination.
    if rising and "event" in df and str(df["event"].iloc[-1]).startswith("harvest: MAI culminates"):
        rising = False
    return float(age[k]), float(mai[k]), rising


def plot_yield_table(df, ax=None, title=None):
    """Draws yield tables as small multiples; returns the matplotlib Figure.

    DF: a yield table (sylvo.yield_table, or the CSV of sylvo table --format
    csv), a dict {name: table}, or one long table with a ``regime`` or
    ``scenario`` column; several tables are overlaid in each panel, one
    colour each, named in the legend.
    AX: None (a new figure), or a sequence of six Axes to draw into: the five
    panels (trees, basal area, dominant height, volumes, increments) and one
    for the legend and notes. TITLE defaults to the model, version and site
    index in df.attrs (as sylvo.yield_table sets them).
    """
    import matplotlib.pyplot as plt

    tables = _tables(df)
    for name, t in tables:
        _check(name, t)
    if ax is None:
        fig, grid = plt.subplots(3, 2, sharex=True, figsize=(10, 9.5), constrained_layout=True)
        axes = list(grid.flat)
    else:
        try:
            axes = list(ax)
        except TypeError:
            axes = []
        if len(axes) != 6 or not all(hasattr(a, "plot") for a in axes):
            raise ValueError("ax: accepted: None, or six Axes (trees, basal area, height, volumes, increments, "
                             "and one for the legend)")
        fig = axes[0].figure
    panels = dict(zip((k for k, _ in PANELS), axes[:5]))
    key = axes[5]
    several = len(tables) > 1 or tables[0][0] is not None

    notes = []
    handles = []
    ages = np.concatenate([t["age_yr"].to_numpy(dtype=float) for _, t in tables])
    span = (np.nanmax(ages) - np.nanmin(ages)) or 1.0
    width = span * 0.012
    for i, (name, t) in enumerate(tables):
        colour = COLOURS[i % len(COLOURS)]
        label = name if name is not None else "the table"
        num = lambda c: t[c].to_numpy(dtype=float)  # noqa: E731
        age = num("age_yr")
        thinned = ~np.isnan(num("removed_trees_per_ha")) | ~np.isnan(num("removed_ba_m2_per_ha"))

        line, = panels["trees"].plot(age, num("trees_per_ha"), color=colour, lw=1.8, label=label)
        panels["ba"].plot(age, num("ba_m2_per_ha"), color=colour, lw=1.8, label=label)
        panels["height"].plot(age, num("height_m"), color=colour, lw=1.8, label=label)
        panels["volume"].plot(age, num("volume_m3_per_ha"), color=colour, lw=1.8,
                              label=f"total volume ({label})" if several else "total volume")
        merch = num("merch_volume_m3_per_ha")
        if not np.all(np.isnan(merch)):
            panels["volume"].plot(age, merch, color=colour, lw=1.2, ls="--",
                                  label=f"merchantable volume ({label})" if several else "merchantable volume")
        removed = num("removed_volume_m3_per_ha")
        bar_at = age[thinned & ~np.isnan(removed)]
        if bar_at.size:
            offset = (i - (len(tables) - 1) / 2) * width
            panels["volume"].bar(bar_at + offset, removed[thinned & ~np.isnan(removed)], width=width,
                                 color=colour if several else REMOVED, alpha=0.75, zorder=1,
                                 label=f"removed volume ({label})" if several else "removed volume")
        for a in age[thinned]:
            for p in panels.values():
                p.axvline(a, color=colour if several else REMOVED, lw=0.7, ls=":", alpha=0.8, zorder=0)

        mai = num("mai_m3_per_ha_yr")
        pai = num("pai_m3_per_ha_yr")
        panels["increment"].plot(age, mai, color=colour, lw=1.8, marker="o", ms=2.5,
                                 label=f"MAI ({label})" if several else "MAI")
        prev = np.concatenate(([np.nan], age[:-1]))
        has_pai = ~np.isnan(pai)
        panels["increment"].plot((prev[has_pai] + age[has_pai]) / 2, pai[has_pai], color=colour, lw=1.1, ls=":",
                                 marker="s", ms=2.5,
                                 label=f"PAI at mid-period ({label})" if several else "PAI, at mid-period")
        peak = culmination(t)
        if peak is not None:
            a, m, rising = peak
            panels["increment"].plot([a], [m], marker="*", ms=13, color="#fbc02d", mec=colour, mew=1.2, ls="none",
                                     zorder=5, label=("highest MAI" if rising else "culmination of MAI") +
                                     (f" ({label})" if several else ""))
            what = (f"highest MAI at the last row, {a:g} yr: {m:.2f} m³/ha/yr" if rising else
                    f"MAI culminates at {a:g} yr: {m:.2f} m³/ha/yr")
            notes.append(f"{label}: {what}" if several else what)
        stop = t.attrs.get("stop")
        if stop:
            notes.append(f"{label}: {stop}" if several else stop)
        if bar_at.size and not several:
            for a, n, b, v in zip(age[thinned], num("removed_trees_per_ha")[thinned],
                                  num("removed_ba_m2_per_ha")[thinned], removed[thinned]):
                notes.append(f"thinning at {a:g} yr: −{_fmt(n, 0)} trees/ha, −{_fmt(b)} m²/ha, −{_fmt(v)} m³/ha")
        handles.append(line)

    for (k, ylabel), p in zip(PANELS, axes[:5]):
        p.set_ylabel(ylabel)
        p.grid(True, alpha=0.3)
        if k != "increment":
            p.set_ylim(bottom=0)
        else:
            p.axhline(0, color="black", lw=0.6)
    for p in (panels["volume"], panels["increment"]):
        p.set_xlabel("age (yr)")
        p.tick_params(labelbottom=True)

    # The key: the legends of the panels and the notes, beside the panels.
    key.axis("off")
    if several:
        # The tables by colour, then what each style stands for.
        from matplotlib.lines import Line2D
        from matplotlib.patches import Patch
        grey = "#424242"
        labels = [n for n, _ in tables]
        handles = handles + [Line2D([], [], color=grey, lw=1.8), Line2D([], [], color=grey, lw=1.2, ls="--"),
                             Patch(color=grey, alpha=0.75), Line2D([], [], color=grey, lw=1.8, marker="o", ms=2.5),
                             Line2D([], [], color=grey, lw=1.1, ls=":", marker="s", ms=2.5),
                             Line2D([], [], color="#fbc02d", marker="*", ms=13, mec=grey, ls="none")]
        labels += ["total volume", "merchantable volume", "removed volume", "MAI", "PAI, at mid-period",
                   "culmination of MAI"]
    else:
        entries = {}
        for p in (panels["volume"], panels["increment"]):
            for h, lab in zip(*p.get_legend_handles_labels()):
                entries.setdefault(lab, h)
        labels = list(entries)
        handles = [entries[lab] for lab in labels]
    # The notes as the legend's last entries, so that the legend lays them out
    # and nothing is drawn over them.
    from matplotlib.patches import Rectangle
    for n in notes:
        handles.append(Rectangle((0, 0), 0, 0, fill=False, edgecolor="none", visible=False))
        labels.append(textwrap.fill(n, 60, subsequent_indent="    "))
    key.legend(handles, labels, loc="upper left", fontsize=8, frameon=False, borderaxespad=0)
    first = tables[0][1]
    fig.suptitle(title if title is not None else _title(first), fontsize=11)
    return fig
