"""Inventories larger than one machine: the engine mapped over the partitions
of a dask DataFrame, for a distributed cluster (or a local one).

    import dask.dataframe as dd, sylvo.dask
    ddf = dd.read_csv("inventory-*.csv", dtype=str, keep_default_na=False)
    out = sylvo.dask.project(ddf, to_age=60, merch_limit=12)
    out.to_csv("projected-*.csv", index=False)

Each partition is projected by sylvo.project (or tabled by sylvo.tables)
on the worker that holds it, with the same options; the results are
identical, row for row and bit for bit, to sylvo.project on the whole frame
in one process. Rows are numbered in status messages as in the whole frame:
the partitions' lengths are counted first (one pass over the data; pass
row_offsets=False to skip it and number rows within each partition).
"""
import numpy as np

import sylvo

__all__ = ["project", "tables"]


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
