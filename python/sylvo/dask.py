"""Inventories larger than one machine: the engine mapped over the partitions
of a dask DataFrame, for a distributed cluster (or a local one).

    import sylvo.dask
    ddf = sylvo.dask.read_inventory("inventory-*.csv")
    out = sylvo.dask.project(ddf, to_age=60, merch_limit=12)
    out.to_csv("projected-*.csv", index=False)

Each partition is projected by sylvo.project (or tabled by sylvo.tables)
on the worker that holds it, with the same options; the results are
identical, row for row and bit for bit, to sylvo.project on the whole frame
in one process. Rows are numbered in status messages as in the whole frame:
the partitions' lengths are counted first (one pass over the data; pass
row_offsets=False to skip it and number rows within each partition).
"""
import csv
import glob
import os

import numpy as np
import pandas as pd

import sylvo

__all__ = ["project", "read_inventory", "tables"]


def read_inventory(paths):
    """Inventory CSV files as a dask DataFrame, one partition a file.

    PATHS is a glob pattern or a list of paths. Each file is read on a
    worker by sylvo.read_inventory, the command line's reader: every field
    as text, and a record that does not fit its header raises ValueError
    naming the file, line and column when its partition is computed
    (dask.dataframe.read_csv would pad a short record with empty fields).
    Every file must have the first file's header.
    """
    import dask
    import dask.dataframe as dd
    if isinstance(paths, (str, os.PathLike)):
        files = sorted(glob.glob(os.fspath(paths))) or [os.fspath(paths)]
    else:
        files = [os.fspath(p) for p in paths]
    if not files:
        raise ValueError("paths: names no file; accepted: a glob pattern or a list of paths of CSV files")
    with open(files[0], newline="", encoding="utf-8-sig", errors="surrogateescape") as f:
        header = next(csv.reader(f), [])
    meta = pd.DataFrame({name: pd.Series(dtype=object) for name in header}, columns=header)
    return dd.from_delayed([dask.delayed(_read_part)(p, files[0], header) for p in files], meta=meta,
                           verify_meta=True)


def _read_part(path, first, header):
    df = sylvo.read_inventory(path)
    if list(df.columns) != header:
        raise ValueError(f"paths: '{path}' has the columns {list(df.columns)}, but the first file, '{first}', "
                         f"has {header}; accepted: files with one header")
    return df


def _offsets(ddf, row_offsets):
    if not row_offsets:
        return (0,) * ddf.npartitions
    lengths = np.asarray(ddf.map_partitions(len).compute(), dtype=np.int64)
    return tuple(int(x) for x in np.concatenate(([0], np.cumsum(lengths)[:-1])))


def _project_part(part, offsets, options, partition_info=None):
    k = partition_info["number"] if partition_info else 0
    return sylvo.project(part, row_offset=offsets[k], **options)


def _tables_part(part, offsets, options, partition_info=None):
    k = partition_info["number"] if partition_info else 0
    return sylvo.tables(part, row_offset=offsets[k], **options)


def _check(ddf):
    import dask.dataframe as dd
    if not isinstance(ddf, dd.DataFrame):
        raise ValueError(f"ddf: {type(ddf).__name__} is not a dask DataFrame; accepted: a dask DataFrame "
                         "(sylvo.project takes a pandas one)")


def project(ddf, *, row_offsets=True, **options):
    """sylvo.project over the partitions of the dask DataFrame DDF (same options); a dask DataFrame.

    The output's meta comes from sylvo.project on DDF's meta, so bad options
    fail here, before anything runs.
    """
    _check(ddf)
    meta = sylvo.project(ddf._meta, **options)
    return ddf.map_partitions(_project_part, _offsets(ddf, row_offsets), options, meta=meta,
                              align_dataframes=False)


def tables(ddf, *, row_offsets=True, **options):
    """sylvo.tables over the partitions of the dask DataFrame DDF (same options); a dask DataFrame."""
    _check(ddf)
    meta = sylvo.tables(ddf._meta, **options)
    return ddf.map_partitions(_tables_part, _offsets(ddf, row_offsets), options, meta=meta,
                              align_dataframes=False)
