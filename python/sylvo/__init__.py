"""Sylvo: the forest growth-and-yield Models A, B and C over numpy and pandas.

Every number comes from the Sylvo engine (the extension ``sylvo._engine``
over its C++ interface): in exact mode each result has the bits the model's
library export gives for the same arguments. This module broadcasts and
checks arguments, moves data frames to and from the engine, and presents
the results; it computes nothing of a model itself.

Array functions (numpy in, float64 out, broadcasting like numpy ufuncs)::

    grow(model, t1, t2, trees, ba, *, mode="exact", threads=None) -> (trees, ba)
    height(model, age, site, shift=0.0)      site(model, height, age, shift=0.0)
    age(model, height, site, shift=0.0)      volume(model, height, trees, ba)
    merch_volume(model, height, trees, ba, limit)
    ba_after(model, p, trees, ba, trees_after)
    tph_after(model, p, trees, ba, ba_after)

Data frames::

    yield_table(model, *, site=None, height=None, height_age=None, ...)
    project(df, *, to_age=None, years=None, ...)     tables(df, *, end_age=None, ...)
    read_inventory(path)

Plots: ``plot_yield_table(df)``; Dask: ``sylvo.dask.project``, ``sylvo.dask.tables``.
"""
import json
import math
import numbers
import os

import numpy as np
import pandas as pd

from . import _engine

__all__ = [
    "MODELS", "grow", "height", "site", "age", "volume", "merch_volume", "ba_after", "tph_after",
    "yield_table", "project", "tables", "read_inventory", "plot_yield_table", "model_name", "model_version",
    "PROJECT_KEYS", "TABLE_KEYS",
]

MODELS = ("a", "b", "c")
DEFAULT_MAX_SDI = _engine.default_max_sdi
# The columns of a yield table, as sylvo table --format csv writes them.
TABLE_KEYS = tuple(_engine.yield_table_keys())
# The columns sylvo project adds after id and the carried columns
# (merch_volume_m3_per_ha only with a merchantable limit).
PROJECT_KEYS = ("start_age_yr", "end_age_yr", "site_m", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm",
                "volume_m3_per_ha", "merch_volume_m3_per_ha", "sdi_per_ha", "status", "note")
# The inventory columns the engine reads; the last four only for tables.
INVENTORY_COLUMNS = ("model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m", "height_m", "height_age_yr",
                     "shift_yr", "end_age_yr", "interval_yr", "merch_limit_cm", "thinnings", "regime")
TABLE_ONLY_COLUMNS = ("end_age_yr", "interval_yr", "merch_limit_cm", "thinnings", "regime")


# --------------------------------------------------------------------------
# Options

def _model(model):
    if not isinstance(model, str) or model not in ("a", "b", "c", "A", "B", "C"):
        raise ValueError(f"model: {model!r} is not a model; accepted: 'a', 'b' or 'c'")
    return model.lower()


def _mode(mode):
    if mode not in ("exact", "fast"):
        raise ValueError(f"mode: {mode!r} is not a mode; accepted: 'exact' or 'fast'")
    return mode


def _threads(threads):
    if threads is None:
        return 0
    if isinstance(threads, bool) or not isinstance(threads, numbers.Integral) or threads < 0 or threads > 4096:
        raise ValueError(f"threads: {threads!r} is not a thread count; accepted: None (every core) or an "
                         "integer from 0 (every core) to 4096")
    return int(threads)


def _number(x, name, *, none_ok=False, positive=True):
    """One option that is a number: finite, and above 0 where POSITIVE is True, 0 or more where it is "zero"."""
    if x is None:
        if none_ok:
            return None
        raise ValueError(f"{name}: missing; accepted: a number")
    if isinstance(x, (bool, np.bool_)) or not isinstance(x, numbers.Real) or not math.isfinite(x) or (
            positive == "zero" and not x >= 0) or (positive is True and not x > 0):
        what = {True: "a number above 0", "zero": "a number of 0 or more", False: "a finite number"}[positive]
        raise ValueError(f"{name}: {x!r} is not {what}; accepted: {what}")
    return float(x)


def model_name(model):
    """"Model A", "Model B" or "Model C"."""
    return _engine.model_name(_model(model))


def model_version(model):
    """The version of the model's library (SylvoVersion)."""
    return _engine.model_version(_model(model))


# --------------------------------------------------------------------------
# Array functions

def _broadcast(fname, names, values):
    """The arguments as float64 arrays of one broadcast shape, flattened.

    An argument that already is a C-contiguous float64 array of that shape is
    passed as a view of itself; only arguments that must be converted or
    broadcast are copied.
    """
    arrays = []
    for name, v in zip(names, values):
        try:
            a = np.asarray(v)
            # Real numbers only, as numpy's ufuncs take them: complex values
            # would lose their imaginary part, dates and durations would
            # become counts of days, text would be parsed, None would become
            # NaN. Objects (Python integers beyond 64 bits, say) must each
            # be a real number.
            if a.dtype.kind == "O" and all(isinstance(x, numbers.Real) for x in a.flat):
                a = a.astype(np.float64)
            elif a.dtype.kind not in "biuf":
                raise ValueError(f"{fname}: {name} is not real numbers ({a.dtype} values); accepted: "
                                 "real numbers (float, int or bool), as scalars or arrays")
            a = a.astype(np.float64, copy=False)
        except (TypeError, ValueError, OverflowError) as e:
            if str(e).startswith(f"{fname}: "):
                raise
            raise ValueError(f"{fname}: {name} is not real numbers ({e})") from None
        arrays.append(a)
    try:
        shape = np.broadcast_shapes(*(a.shape for a in arrays))
    except ValueError:
        shapes = ", ".join(f"{n} {a.shape}" for n, a in zip(names, arrays))
        raise ValueError(f"{fname}: the shapes of {shapes} do not broadcast together") from None
    flat = []
    for a in arrays:
        if a.shape != shape or not a.flags.c_contiguous:
            a = np.ascontiguousarray(np.broadcast_to(a, shape))
        flat.append(a.reshape(-1))
    return shape, flat


def _result(out):
    return out[()] if out.ndim == 0 else out


def _call(fname, fn, model, names, values, mode="exact", threads=None):
    model = _model(model)
    mode = _mode(mode)
    threads = _threads(threads)
    shape, flat = _broadcast(fname, names, values)
    out = np.empty(shape, dtype=np.float64)
    fn(model, *flat, out.reshape(-1), mode, threads)
    return _result(out)


def grow(model, t1, t2, trees, ba, *, mode="exact", threads=None):
    """Trees (per ha) and basal area (m2/ha) at age T2 of stands with TREES and BA at age T1.

    SylvoGrow for every element; returns (trees, ba). In exact mode (the
    default) the bits of the export; mode="fast" uses SIMD instructions.
    threads=None uses every core.
    """
    model = _model(model)
    mode = _mode(mode)
    threads = _threads(threads)
    shape, flat = _broadcast("grow", ("t1", "t2", "trees", "ba"), (t1, t2, trees, ba))
    trees_out = np.empty(shape, dtype=np.float64)
    ba_out = np.empty(shape, dtype=np.float64)
    _engine.grow(model, *flat, trees_out.reshape(-1), ba_out.reshape(-1), mode, threads)
    return _result(trees_out), _result(ba_out)


def height(model, age, site, shift=0.0, *, threads=None):
    """Dominant height (m) at AGE of the site curve with site index SITE (SylvoHeight)."""
    return _call("height", _engine.height, model, ("age", "site", "shift"), (age, site, shift), threads=threads)


def site(model, height, age, shift=0.0, *, threads=None):
    """Site index (m) of a stand with dominant HEIGHT at AGE (SylvoSite; 0.0 where none)."""
    return _call("site", _engine.site, model, ("height", "age", "shift"), (height, age, shift), threads=threads)


def age(model, height, site, shift=0.0, *, threads=None):
    """Age at which the site curve of SITE reaches HEIGHT (SylvoAge; -999.0 where none)."""
    return _call("age", _engine.age, model, ("height", "site", "shift"), (height, site, shift), threads=threads)


def volume(model, height, trees, ba, *, threads=None):
    """Total stand volume (m3/ha) (SylvoVolume)."""
    return _call("volume", _engine.volume, model, ("height", "trees", "ba"), (height, trees, ba), threads=threads)


def merch_volume(model, height, trees, ba, limit, *, threads=None):
    """Merchantable volume (m3/ha) to the diameter LIMIT (cm) (SylvoMerchVol)."""
    return _call("merch_volume", _engine.merch_volume, model, ("height", "trees", "ba", "limit"),
                 (height, trees, ba, limit), threads=threads)


def ba_after(model, p, trees, ba, trees_after, *, threads=None):
    """Basal area (m2/ha) left by a thinning to TREES_AFTER trees/ha (SylvoBaAfter)."""
    return _call("ba_after", _engine.ba_after, model, ("p", "trees", "ba", "trees_after"),
                 (p, trees, ba, trees_after), threads=threads)


def tph_after(model, p, trees, ba, ba_after, *, threads=None):
    """Trees (per ha) left by a thinning to BA_AFTER m2/ha (SylvoTphAfter)."""
    return _call("tph_after", _engine.tph_after, model, ("p", "trees", "ba", "ba_after"),
                 (p, trees, ba, ba_after), threads=threads)


# --------------------------------------------------------------------------
# Yield tables

def _thinning_text(t):
    """A thinning as the --thin syntax: a string as it is, or a tuple
    (age, "tph" or "ba", value, p)."""
    if isinstance(t, str):
        return t
    if isinstance(t, tuple) and len(t) == 4 and t[1] in ("tph", "ba"):
        age_, key, value, p = t
        parts = []
        for name, x in (("age", age_), (key, value), ("p", p)):
            if isinstance(x, (bool, np.bool_)) or not isinstance(x, numbers.Real):
                raise ValueError(f"thinnings: {t!r} has {name} {x!r}, which is not a number; accepted: "
                                 "(age, 'tph', trees, p) or (age, 'ba', basal_area, p)")
            parts.append(repr(float(x)))
        return f"{parts[0]}:{key}={parts[1]}:p={parts[2]}"
    raise ValueError(f"thinnings: {t!r} is not a thinning; accepted: strings such as '20:tph=800:p=20' or "
                     "'30:ba=25:p=20', or tuples (age, 'tph', trees, p) or (age, 'ba', basal_area, p)")


_TABLE_KEYWORDS = {"age_yr": "start_age", "end_age_yr": "end_age", "site_m": "site", "height_m": "height",
                   "height_age_yr": "height_age", "shift_yr": "shift", "trees_per_ha": "trees",
                   "ba_m2_per_ha": "ba", "interval_yr": "interval", "merch_limit_cm": "merch_limit"}
# The command line's options, as the engine names them, and these functions' keywords.
_OPTION_KEYWORDS = {"--to-age": "to_age", "--years": "years", "--end-age": "end_age", "--interval": "interval",
                    "--merch-limit": "merch_limit", "--max-sdi": "max_sdi"}


def _by_keyword(call):
    """CALL's result; an error the engine gives for an option is named by this function's keyword."""
    try:
        return call()
    except ValueError as e:
        field, sep, rest = str(e).partition(":")
        if sep and field in _OPTION_KEYWORDS:
            raise ValueError(_OPTION_KEYWORDS[field] + sep + rest) from None
        raise


def _regime_source(regime, what="regime"):
    """(document text, name for messages) of a regime given as a dict or as a file's path."""
    if isinstance(regime, dict):
        try:
            return json.dumps(regime, allow_nan=False), f"<{what}>"
        except (TypeError, ValueError) as e:
            raise ValueError(f"{what}: cannot be written as JSON ({e}); accepted: a dict of the regime file's "
                             "form, or the path of a regime file") from None
    if isinstance(regime, (str, os.PathLike)):
        path = os.fspath(regime)
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError as e:
            raise ValueError(f"{path}: cannot be opened ({e.strerror}); accepted: a readable regime file "
                             "(JSON)") from None
        try:
            return data.decode("utf-8"), path
        except UnicodeDecodeError as e:
            raise ValueError(f"{path}: byte {e.start + 1} is not UTF-8 text; accepted: a regime file in "
                             "UTF-8") from None
    raise ValueError(f"{what}: {type(regime).__name__} is not a regime; accepted: a dict of the regime file's "
                     "form, or the path of a regime file")


def yield_table(model, *, site=None, height=None, height_age=None, shift=0.0, start_age, trees, ba, end_age,
                interval=5.0, merch_limit, thinnings=(), max_sdi=DEFAULT_MAX_SDI, regime=None, regime_name=None):
    """The yield table of one stand, as a DataFrame with the columns of sylvo table --format csv.

    REGIME: a regime (a dict in the regime file's form, or the path of a
    regime file) the table runs under instead of THINNINGS; REGIME_NAME
    chooses one of a file of several. The rows' event and note columns say
    what each event did or why it was skipped; df.attrs["regime"] holds the
    regime as read and df.attrs["summary"] what the table comes to.

    The stand is SITE (m), or HEIGHT (m) at HEIGHT_AGE (yr), turned into a
    site index with SylvoSite. MERCH_LIMIT (cm) may be None for no
    merchantable volume. THINNINGS: strings in the --thin syntax
    ("20:tph=800:p=20", "30:ba=25:p=20", several joined by ';') or tuples
    (age, "tph"|"ba", value, p). A value the table does not have (removals
    on rows that follow no thinning, PAI of the first row and after a
    thinning) is NaN.

    df.attrs holds model, model_name, version, site (the site index used),
    shift, merch_limit, max_sdi, thinnings (as the --thin syntax), and, where
    the table stopped before END_AGE because the stand is no longer a stand,
    stop_age, stop_after_thinning, stop_reason and stop (the whole message);
    stop is None for a table that reaches its end age.
    """
    model = _model(model)
    if site is None and (height is None or height_age is None):
        raise ValueError("site: missing, and so is height with height_age; accepted: site (m), or height (m) "
                         "and height_age (yr)")
    if site is not None and (height is not None or height_age is not None):
        raise ValueError("site: given with height or height_age; accepted: site, or height and height_age, "
                         "not both")
    site = _number(site, "site", none_ok=True)
    height = _number(height, "height", none_ok=True)
    height_age = _number(height_age, "height_age", none_ok=True)
    shift = _number(shift, "shift", positive=False)
    merch_limit = _number(merch_limit, "merch_limit", none_ok=True, positive="zero")
    if thinnings is None:
        thinnings = []
    elif isinstance(thinnings, str) or (isinstance(thinnings, tuple) and len(thinnings) == 4
                                      and thinnings[1] in ("tph", "ba")):
        thinnings = [thinnings]
    texts = [_thinning_text(t) for t in thinnings]
    if regime is not None and texts:
        raise ValueError("thinnings: given together with regime; accepted: thinnings or a regime, not both")
    if regime is None and regime_name is not None:
        raise ValueError("regime_name: given without regime; accepted: regime (a dict or a path) with it")
    regime_text, regime_source = _regime_source(regime) if regime is not None else ("", "")
    if regime_name is not None and not isinstance(regime_name, str):
        raise ValueError(f"regime_name: {regime_name!r} is not a name; accepted: the name of a regime of the file")
    try:
        r = _engine.yield_table(model, site, height, height_age, shift, _number(start_age, "start_age"),
                                _number(trees, "trees"), _number(ba, "ba"), _number(end_age, "end_age"),
                                _number(interval, "interval"), merch_limit, texts, _number(max_sdi, "max_sdi"),
                                regime_text, regime_source, regime_name or "")
    except ValueError as e:
        # The engine names a stand's values by their inventory columns; here
        # they are this function's keywords.
        field, sep, rest = str(e).partition(":")
        if sep and field in _TABLE_KEYWORDS:
            raise ValueError(_TABLE_KEYWORDS[field] + sep + rest) from None
        raise
    df = pd.DataFrame(r["columns"], columns=list(TABLE_KEYS))
    stop = r["stop"]
    df.attrs.update({
        "model": model, "model_name": _engine.model_name(model), "version": _engine.model_version(model),
        "site": r["site"], "shift": shift, "merch_limit": merch_limit, "max_sdi": float(max_sdi),
        "thinnings": list(r["thinnings"]),
        "stop": stop["text"] if stop else None,
        "stop_age": stop["age"] if stop else None,
        "stop_after_thinning": stop["after_thinning"] if stop else None,
        "stop_reason": stop["reason"] if stop else None,
        "regime": json.loads(r["regime"]) if r["regime"] is not None else None,
        "harvested": r["harvested"],
        "summary": dict(r["summary"]),
    })
    return df


def compare(model, *, regimes, names=None, **stand):
    """One stand's tables under several regimes, as sylvo compare gives them.

    REGIMES: a dict of the regime file's form ({"regimes": [...]}, or one
    regime) or a file's path; NAMES: the regimes to run (default all). The
    stand's keywords are those of yield_table. Returns one long DataFrame
    with a regime column first; df.attrs["summary"] is a DataFrame with one
    row per regime (end age, production, volume removed, highest MAI and its
    age, standing volume at the end, harvested).
    """
    text, source = _regime_source(regimes, "regimes")
    if names is None:
        doc = json.loads(text) if isinstance(regimes, dict) else None
        if doc is None:
            try:
                doc = json.loads(text)
            except ValueError:
                doc = None
        if isinstance(doc, dict) and isinstance(doc.get("regimes"), list):
            names = [r.get("name") if isinstance(r, dict) else None for r in doc["regimes"]]
        else:
            names = [None]
    frames, summaries = [], []
    for name in names:
        df = yield_table(model, regime=regimes, regime_name=name, **stand)
        label = df.attrs["regime"]["name"]
        frames.append(df.assign(regime=label)[["regime"] + list(TABLE_KEYS)])
        summaries.append({"regime": label, **df.attrs["summary"]})
    out = pd.concat(frames, ignore_index=True)
    out.attrs["summary"] = pd.DataFrame(summaries)
    out.attrs["model"] = frames[0].attrs.get("model", model) if frames else model
    return out


# --------------------------------------------------------------------------
# Inventories

def read_inventory(path):
    """An inventory CSV as sylvo project reads it: every field as text.

    The engine reads the numbers to the nearest double, exactly as the
    command line does, and a field that is no number is flagged on its row
    by project and tables; carried columns stay as written. The file is read
    with the command line's CSV reader, and a data frame has no place for a
    row that is not one: a record with another number of fields than the
    header, a field that breaks the CSV format, or bytes that are not UTF-8
    raise ValueError naming the line and column (the command line flags such
    rows and goes on). Empty lines are passed over. For other layouts, read
    the file with pandas and pass the data frame.
    """
    path = os.fspath(path)
    if not isinstance(path, str):
        raise TypeError(f"path: {type(path).__name__} is not a path of a file")
    r = _engine.read_csv(path)
    return pd.DataFrame({name: pd.Series(column, dtype=object) for name, column in zip(r["header"], r["columns"])},
                        columns=r["header"])


def _column_data(x):
    """A data-frame column as the engine takes it: float64 numbers (NaN is
    an empty cell) or a list of str/float/None."""
    if pd.api.types.is_bool_dtype(x.dtype):
        return [str(v) for v in x]
    if pd.api.types.is_numeric_dtype(x.dtype) and not pd.api.types.is_extension_array_dtype(x.dtype):
        return np.ascontiguousarray(x.to_numpy(dtype=np.float64))
    return [None if (v is None or v is pd.NA or (isinstance(v, float) and math.isnan(v))) else v
            for v in x.to_numpy(dtype=object)]


def _layout(df, tables, out_keys):
    if not isinstance(df, pd.DataFrame):
        raise ValueError(f"df: {type(df).__name__} is not a pandas DataFrame")
    names = [str(c) for c in df.columns]
    if len(set(names)) != len(names):
        dup = next(n for n in names if names.count(n) > 1)
        raise ValueError(f"df: the column {dup} appears more than once")
    for req in ("age_yr", "trees_per_ha", "ba_m2_per_ha"):
        if req not in names:
            raise ValueError(f"df: lacks the column {req}")
    if "site_m" not in names and not ("height_m" in names and "height_age_yr" in names):
        if "height_m" in names:
            what = "height_age_yr (and site_m)"
        elif "height_age_yr" in names:
            what = "height_m (and site_m)"
        else:
            what = "site_m (or height_m and height_age_yr)"
        raise ValueError(f"df: lacks the column {what}")
    used = INVENTORY_COLUMNS if tables else tuple(c for c in INVENTORY_COLUMNS if c not in TABLE_ONLY_COLUMNS)
    columns = {}
    for name in used:
        if name in names:
            k = names.index(name)
            columns[name] = (k + 1, _column_data(df.iloc[:, k]))
    # The columns of a table's layout are neither read nor carried by a
    # projection, so one data frame serves both.
    carried = [c for c, n in zip(df.columns, names) if n != "id" and n not in INVENTORY_COLUMNS]
    for c in carried:
        if str(c) in out_keys:
            raise ValueError(f"df: has a column {c}, a name the output gives a column of its own; accepted: "
                             "other names for the columns carried to the output")
    return columns, carried


def _output(df, rows, carried, results, keys, index):
    start = {"id": (df["id"].to_numpy()[rows] if "id" in df.columns else np.full(len(rows), "", dtype=object))}
    for c in carried:
        start[c] = df[c].to_numpy()[rows]
    data = dict(start)
    for k in keys:
        v = results[k]
        data[k] = v if isinstance(v, np.ndarray) else np.array(v, dtype=object)  # text stays text when empty
    out = pd.DataFrame(data, index=index)
    # Carried columns keep their dtypes.
    for c in carried:
        if out[c].dtype != df[c].dtype:
            out[c] = out[c].astype(df[c].dtype)
    return out


def project(df, *, model=None, to_age=None, years=None, merch_limit=None, mode="exact", threads=None,
            max_sdi=DEFAULT_MAX_SDI, row_offset=0):
    """Every stand of an inventory brought TO_AGE, or YEARS forward, as sylvo project does.

    DF has the columns of sylvo project's CSV input (age_yr, trees_per_ha,
    ba_m2_per_ha, site_m or height_m with height_age_yr; optional id,
    model, shift_yr); read_inventory reads such a file. The result has one
    row per input row, in order and with DF's index: id, the carried
    columns, then PROJECT_KEYS (merch_volume_m3_per_ha only with
    MERCH_LIMIT). No row is dropped: status is "ok" or why the row has no
    numbers ("row 17, column 4 (trees_per_ha): '1.2k' is not a number"; rows
    counted from 1 plus ROW_OFFSET).
    """
    model = "a" if model is None else _model(model)
    mode = _mode(mode)
    threads = _threads(threads)
    if (to_age is None) == (years is None):
        raise ValueError(("to_age: missing, and so is years" if to_age is None else "to_age: given with years")
                         + "; accepted: one of to_age and years")
    to_age = _number(to_age, "to_age", none_ok=True)
    years = _number(years, "years", none_ok=True)
    merch_limit = _number(merch_limit, "merch_limit", none_ok=True, positive="zero")
    max_sdi = _number(max_sdi, "max_sdi")
    keys = [k for k in PROJECT_KEYS if merch_limit is not None or k != "merch_volume_m3_per_ha"]
    columns, carried = _layout(df, False, keys)
    r = _by_keyword(lambda: _engine.project(columns, len(df), int(row_offset), model, to_age, years, merch_limit,
                                            max_sdi, mode, threads))
    return _output(df, np.arange(len(df)), carried, r, keys, df.index)


def tables(df, *, model=None, end_age=None, interval=5.0, merch_limit=None, threads=None,
           max_sdi=DEFAULT_MAX_SDI, row_offset=0, regimes=None):
    """The yield table of every stand of an inventory, as sylvo tables does: one long DataFrame.

    DF has project's columns and optionally end_age_yr, interval_yr,
    merch_limit_cm and thinnings (the --thin syntax joined by ';'); an empty
    cell takes END_AGE, INTERVAL or MERCH_LIMIT. The result: id, the carried
    columns, TABLE_KEYS and status, each stand's rows up to its end age or
    its stop, indexed by the stand's index in DF. A stand without a table
    keeps one row with its reason; the last row of a table that stopped
    early says why in status.
    """
    model = "a" if model is None else _model(model)
    threads = _threads(threads)
    end_age = _number(end_age, "end_age", none_ok=True)
    interval = _number(interval, "interval")
    merch_limit = _number(merch_limit, "merch_limit", none_ok=True, positive="zero")
    max_sdi = _number(max_sdi, "max_sdi")
    keys = list(TABLE_KEYS) + ["status"]
    columns, carried = _layout(df, True, keys)
    if end_age is None and "end_age_yr" not in [str(c) for c in df.columns]:
        raise ValueError("df: lacks the column end_age_yr, and no end_age is given; accepted: a column "
                         "end_age_yr, or end_age for every stand")
    regime_text, regime_source = _regime_source(regimes, "regimes") if regimes is not None else ("", "")
    if regimes is None and "regime" in [str(c) for c in df.columns]:
        raise ValueError("df: has a column regime, but no regimes are given; accepted: regimes (a dict or a path) "
                         "with the regimes the column names")
    r = _by_keyword(lambda: _engine.tables(columns, len(df), int(row_offset), model, end_age, interval, merch_limit,
                                           max_sdi, threads, regime_text, regime_source))
    rows = np.asarray(r["stand"], dtype=np.int64)
    results = dict(r["columns"])
    results["status"] = r["status"]
    return _output(df, rows, carried, results, keys, df.index[rows])


def plot_yield_table(df, ax=None, title=None):
    """Draws a yield table (see sylvo.plot.plot_yield_table); returns the figure."""
    from .plot import plot_yield_table as plot
    return plot(df, ax=ax, title=title)
