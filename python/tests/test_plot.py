"""The yield-table plot: its panels, lines and marks carry the table's
numbers; rendered to PNG and SVG, also from the command line's CSV."""
import subprocess
import sys
from pathlib import Path

import matplotlib.image
import matplotlib.text
import numpy as np
import pytest
from matplotlib import pyplot as plt

import sylvo


@pytest.fixture(scope="module")
def table():
    return sylvo.yield_table("c", site=28, start_age=12, trees=1500, ba=10, end_age=60, interval=4,
                             merch_limit=12, thinnings=["20:tph=700:p=10", "36:ba=35:p=25"])


def lines_by_label(*axes):
    return {line.get_label(): line for ax in axes for line in ax.get_lines() if not line.get_label().startswith("_")}


def panels(fig):
    trees, ba, height, volume, increment, key = fig.axes
    return trees, ba, height, volume, increment, key


def test_one_panel_per_quantity_each_carrying_the_table(table, tmp_path):
    fig = sylvo.plot_yield_table(table)
    trees, ba, height, volume, increment, key = panels(fig)
    assert [a.get_ylabel() for a in (trees, ba, height, volume, increment)] == [
        "trees (/ha)", "basal area (m²/ha)", "dominant height (m)", "volume (m³/ha)", "increment (m³/ha/yr)"]
    assert volume.get_xlabel() == increment.get_xlabel() == "age (yr)"
    # One age axis for every panel.
    assert len({a.get_xlim() for a in (trees, ba, height, volume, increment)}) == 1
    assert "Model C (version 1.2), site index 28.00 m" in fig._suptitle.get_text()
    for panel, column in ((trees, "trees_per_ha"), (ba, "ba_m2_per_ha"), (height, "height_m")):
        (line,) = panel.get_lines()[:1]
        np.testing.assert_array_equal(line.get_xdata(), table["age_yr"])
        np.testing.assert_array_equal(line.get_ydata(), table[column])
    vol = lines_by_label(volume)
    np.testing.assert_array_equal(vol["total volume"].get_ydata(), table["volume_m3_per_ha"])
    np.testing.assert_array_equal(vol["merchantable volume"].get_ydata(), table["merch_volume_m3_per_ha"])

    # The removed volume as one bar at each thinning's age, a line through every panel.
    bars = [p for p in volume.patches if p.get_height() > 0]
    thinned = table[table["removed_volume_m3_per_ha"].notna()]
    assert sorted(b.get_x() + b.get_width() / 2 for b in bars) == pytest.approx(list(thinned["age_yr"]))
    assert sorted(b.get_height() for b in bars) == sorted(thinned["removed_volume_m3_per_ha"])
    for panel in (trees, ba, height, volume, increment):
        verticals = [l.get_xdata()[0] for l in panel.get_lines() if l.get_label().startswith("_") and
                     len(set(l.get_xdata())) == 1]
        assert sorted(verticals) == list(thinned["age_yr"])

    inc = lines_by_label(increment)
    np.testing.assert_array_equal(inc["MAI"].get_ydata(), table["mai_m3_per_ha_yr"])
    np.testing.assert_array_equal(inc["PAI, at mid-period"].get_ydata(), table["pai_m3_per_ha_yr"].dropna())
    k = table["mai_m3_per_ha_yr"].idxmax()
    star = inc["culmination of MAI"]
    assert (star.get_xdata()[0], star.get_ydata()[0]) == (table.loc[k, "age_yr"], table.loc[k, "mai_m3_per_ha_yr"])
    notes = " ".join(t.get_text() for t in key.get_legend().get_texts())
    assert f"MAI culminates at {table.loc[k, 'age_yr']:g} yr" in notes
    assert notes.count("thinning at") == 2
    # Text only in the key: no panel holds any, and no two texts overlap.
    assert not any(p.texts for p in (trees, ba, height, volume, increment))
    path = tmp_path / "table.png"
    fig.savefig(path, dpi=80)
    renderer = fig.canvas.get_renderer()
    ticks = {id(t) for a in fig.axes for t in a.get_xticklabels() + a.get_yticklabels()}
    boxes = [t.get_window_extent(renderer) for t in fig.findobj(matplotlib.text.Text)
             if t.get_visible() and t.get_text().strip() and id(t) not in ticks]
    assert len(boxes) > 15
    overlapping = [(a, b) for i, a in enumerate(boxes) for b in boxes[i + 1:] if a.overlaps(b)]
    assert not overlapping
    plt.close(fig)
    image = matplotlib.image.imread(path)
    assert image.shape[0] > 300 and image.shape[1] > 400
    assert image[..., :3].std() > 0.05  # not a blank picture


def test_several_tables_overlaid_from_a_dict_or_a_long_table(table):
    other = sylvo.yield_table("c", site=28, start_age=12, trees=1500, ba=10, end_age=60, interval=4,
                              merch_limit=12, thinnings=["24:tph=600:p=10"])
    import pandas as pd
    long = pd.concat([table.assign(regime="two thinnings"), other.assign(regime="one thinning")])
    for data in ({"two thinnings": table, "one thinning": other}, long):
        fig = sylvo.plot_yield_table(data)
        trees, ba, height, volume, increment, key = panels(fig)
        by_name = lines_by_label(trees)
        np.testing.assert_array_equal(by_name["two thinnings"].get_ydata(), table["trees_per_ha"])
        np.testing.assert_array_equal(by_name["one thinning"].get_ydata(), other["trees_per_ha"])
        assert by_name["two thinnings"].get_color() != by_name["one thinning"].get_color()
        inc = lines_by_label(increment)
        np.testing.assert_array_equal(inc["MAI (one thinning)"].get_ydata(), other["mai_m3_per_ha_yr"])
        # The legend is outside the panels, in the key, naming both tables.
        assert all(p.get_legend() is None for p in (trees, ba, height, volume, increment))
        labels = [t.get_text() for t in key.get_legend().get_texts()]
        assert labels[:2] == ["two thinnings", "one thinning"]
        plt.close(fig)
    with pytest.raises(ValueError, match=r"^df\['b'\]: has no rows"):
        sylvo.plot_yield_table({"a": table, "b": table.iloc[:0]})


def test_a_table_whose_mai_still_rises_and_axes_given(table):
    young = sylvo.yield_table("b", site=26, start_age=10, trees=1600, ba=6, end_age=30, merch_limit=None)
    fig, axes = plt.subplots(3, 2)
    assert sylvo.plot_yield_table(young, ax=axes.flat) is fig
    labels = lines_by_label(axes.flat[4])
    assert "highest MAI" in labels and "culmination of MAI" not in labels
    assert "merchantable volume" not in lines_by_label(axes.flat[3])
    plt.close(fig)
    # A table harvested where MAI culminates ends there: its last row is the culmination.
    harvested = sylvo.yield_table("b", site=26, start_age=10, trees=1600, ba=6, end_age=90, merch_limit=None,
                                  regime={"name": "h", "events": [{"action": "harvest",
                                                                    "when": {"mai_culminates": True}}]})
    assert harvested["event"].iloc[-1].startswith("harvest: MAI culminates")
    fig, axes = plt.subplots(3, 2)
    sylvo.plot_yield_table(harvested, ax=axes.flat)
    labels = lines_by_label(axes.flat[4])
    assert "culmination of MAI" in labels and "highest MAI" not in labels
    plt.close(fig)


def test_refuses_what_is_not_a_table(table):
    with pytest.raises(ValueError, match="^df: lacks the columns mai_m3_per_ha_yr, pai_m3_per_ha_yr"):
        sylvo.plot_yield_table(table.drop(columns=["mai_m3_per_ha_yr", "pai_m3_per_ha_yr"]))
    with pytest.raises(ValueError, match="^df: has no rows"):
        sylvo.plot_yield_table(table.iloc[:0])
    with pytest.raises(ValueError, match="^ax: "):
        sylvo.plot_yield_table(table, ax=plt.gca())
    with pytest.raises(ValueError, match="^df: list is not a yield table"):
        sylvo.plot_yield_table([1, 2])


def test_the_command_line_entry_draws_a_tables_csv(cli, tmp_path):
    r = cli("table", "--model", "a", "--site", "24", "--start-age", "10", "--trees", "1800", "--ba", "6",
            "--end-age", "35", "--merch-limit", "12", "--thin", "20:tph=800:p=20", "--format", "csv")
    csv = tmp_path / "table.csv"
    csv.write_text(r.stdout)
    for name, magic in (("out.png", b"\x89PNG"), ("out.svg", b"<?xml")):
        run = subprocess.run([sys.executable, "-m", "sylvo.plot_cli", str(csv), str(tmp_path / name),
                              "--title", "Model A, site 24", "--stop", "stopped early at age 45: SDI"],
                             capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
        assert (tmp_path / name).read_bytes().startswith(magic)
    svg = (tmp_path / "out.svg").read_text()
    for text in ("Model A, site 24", "stopped early at age 45: SDI", "age (yr)", "MAI culminates at 30 yr"):
        assert text in svg
    # From standard input, by Debian's Python running the file of the source
    # tree (no package installed, no engine needed).
    script = Path(__file__).resolve().parents[1] / "sylvo" / "plot_cli.py"
    piped = subprocess.run(["/usr/bin/python3", str(script), "-", str(tmp_path / "piped.png")],
                           input=r.stdout, capture_output=True, text=True, cwd=tmp_path)
    assert piped.returncode == 0, piped.stderr
    assert (tmp_path / "piped.png").read_bytes().startswith(b"\x89PNG")
    bad = subprocess.run([sys.executable, "-m", "sylvo.plot_cli", str(csv), str(tmp_path / "out.jpg")],
                         capture_output=True, text=True)
    assert bad.returncode == 2 and "out.jpg' is not a .png or .svg file" in bad.stderr
    (tmp_path / "inv.csv").write_text("id,age_yr\nx,1\n")
    bad = subprocess.run([sys.executable, "-m", "sylvo.plot_cli", str(tmp_path / "inv.csv"),
                          str(tmp_path / "x.png")], capture_output=True, text=True)
    assert bad.returncode == 2 and "lacks the columns height_m" in bad.stderr
