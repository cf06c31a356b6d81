"""The yield-table plot: its panels, lines and marks carry the table's
numbers; rendered to PNG and SVG, also from the command line's CSV."""
import subprocess
import sys
from pathlib import Path

import matplotlib.image
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


def test_panels_and_lines_carry_the_table(table, tmp_path):
    fig = sylvo.plot_yield_table(table)
    top, bottom, right, trees_ax = fig.axes
    assert bottom.get_xlabel() == "age (yr)"
    assert top.get_ylabel() == "volume (m³/ha)" and bottom.get_ylabel() == "increment (m³/ha/yr)"
    assert right.get_ylabel() == "height (m), basal area (m²/ha)" and trees_ax.get_ylabel() == "trees (/ha)"
    assert "Model C (version 1.2), site index 28.00 m" in top.get_title()

    lines = lines_by_label(top, right, trees_ax)
    for label, column in (("total volume (m³/ha)", "volume_m3_per_ha"),
                          ("merchantable volume (m³/ha)", "merch_volume_m3_per_ha"),
                          ("dominant height (m)", "height_m"), ("basal area (m²/ha)", "ba_m2_per_ha"),
                          ("trees (/ha)", "trees_per_ha")):
        np.testing.assert_array_equal(lines[label].get_xdata(), table["age_yr"])
        np.testing.assert_array_equal(lines[label].get_ydata(), table[column])

    # The removed volume as one bar at each thinning's age.
    bars = [p for p in top.patches if p.get_height() > 0]
    thinned = table[table["removed_volume_m3_per_ha"].notna()]
    assert sorted(b.get_x() + b.get_width() / 2 for b in bars) == pytest.approx(list(thinned["age_yr"]))
    assert sorted(b.get_height() for b in bars) == sorted(thinned["removed_volume_m3_per_ha"])
    assert sum("thinning at" in t.get_text() for t in top.texts) == 2

    inc = lines_by_label(bottom)
    np.testing.assert_array_equal(inc["MAI (m³/ha/yr)"].get_ydata(), table["mai_m3_per_ha_yr"])
    pai = table["pai_m3_per_ha_yr"].dropna()
    np.testing.assert_array_equal(inc["PAI (m³/ha/yr), at mid-period"].get_ydata(), pai)
    k = table["mai_m3_per_ha_yr"].idxmax()
    star = inc["culmination of MAI"]
    assert (star.get_xdata()[0], star.get_ydata()[0]) == (table.loc[k, "age_yr"], table.loc[k, "mai_m3_per_ha_yr"])
    assert any(t.get_text().startswith(f"MAI culminates at {table.loc[k, 'age_yr']:g} yr") for t in bottom.texts)

    path = tmp_path / "table.png"
    fig.savefig(path, dpi=80)
    plt.close(fig)
    image = matplotlib.image.imread(path)
    assert image.shape[0] > 300 and image.shape[1] > 400
    assert image[..., :3].std() > 0.05  # not a blank picture


def test_a_table_whose_mai_still_rises_and_axes_given(table):
    young = sylvo.yield_table("b", site=26, start_age=10, trees=1600, ba=6, end_age=30, merch_limit=None)
    fig, axes = plt.subplots(2, 1)
    assert sylvo.plot_yield_table(young, ax=axes) is fig
    labels = lines_by_label(axes[1])
    assert "highest MAI" in labels and "culmination of MAI" not in labels
    assert "merchantable volume (m³/ha)" not in lines_by_label(axes[0])
    plt.close(fig)


def test_refuses_what_is_not_a_table(table):
    with pytest.raises(ValueError, match="^df: lacks the columns mai_m3_per_ha_yr, pai_m3_per_ha_yr"):
        sylvo.plot_yield_table(table.drop(columns=["mai_m3_per_ha_yr", "pai_m3_per_ha_yr"]))
    with pytest.raises(ValueError, match="^df: has no rows"):
        sylvo.plot_yield_table(table.iloc[:0])
    with pytest.raises(ValueError, match="^ax: "):
        sylvo.plot_yield_table(table, ax=plt.gca())


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
