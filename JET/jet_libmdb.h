// The one place that includes libmdb.
//
// Debian's mdbtools.h 1.0 opens its extern "C" block before including
// glib.h, which breaks glib's C++ helpers under g++; including glib.h and
// iconv.h first turns the inner includes into no-ops.
#pragma once

#include <glib.h>
#include <iconv.h>

#include <mdbtools.h>

#include <memory>

struct jet_mdb_closer {
    void operator()(MdbHandle* h) const noexcept
    {
        if (h != nullptr) mdb_close(h);
    }
};
using jet_mdb_ptr = std::unique_ptr<MdbHandle, jet_mdb_closer>;

struct jet_table_freer {
    void operator()(MdbTableDef* t) const noexcept
    {
        if (t != nullptr) mdb_free_tabledef(t);
    }
};
using jet_table_ptr = std::unique_ptr<MdbTableDef, jet_table_freer>;
