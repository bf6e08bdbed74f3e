// The guard against malformed files.
//
// libmdb 1.0 trusts much of what it reads (page numbers, map sizes, row
// offsets) and is known to crash on some damaged files. Before a file's
// catalogue is trusted, the guard reads it in a child process: the
// catalogue, every table definition with its columns and indexes, and the
// rows (all of them for files up to probe_all_rows_limit bytes, the first
// probe_sample_rows of each table beyond). A child that dies by a signal or
// runs past its time limit means the file is not a database this component
// can read: jet_error 3343. The reading in the parent then repeats work
// that has been shown to end.
#pragma once

#include <cstdint>

class jet_file;

class jet_guard {
public:
    static constexpr uint64_t probe_all_rows_limit = 64ull << 20;
    static constexpr uint32_t probe_sample_rows = 1000;

    // Raises jet_error 3343 naming the file when reading it crashes or hangs.
    static void probe(const jet_file& file);

    // The in-process fuzzing harness turns the guard off to see the crashes
    // itself; everything else leaves it on.
    static bool enabled;

    // The reading the probe performs, also callable in-process; returns the
    // number of rows read.
    static uint64_t read_everything(const jet_file& file, bool all_rows);
};
