// The guard against malformed files.
//
// libmdb 1.0 trusts much of what it reads (page numbers, map sizes, row
// offsets) and is known to crash on some damaged files. Before a file's
// catalogue is trusted, the guard reads it in another process: the
// catalogue, every table definition with its columns and indexes, and the
// rows (all of them for files up to probe_all_rows_limit bytes, the first
// probe_sample_rows of each table beyond). A probe that dies by a signal or
// runs past its time limit means the file is not a database this component
// can read: jet_error 3343. The reading in the caller then repeats work
// that has been shown to end.
//
// The probe is the small program tlvjetprobe, started with posix_spawn, so
// it is safe in a process of many threads (the wizard): a bare fork there
// could leave the child waiting on a lock another thread held. The password
// reaches it through an anonymous memory file on its standard input, never
// through its arguments. When the program cannot be found, a process of
// one thread probes in a forked child and any other reads unguarded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class jet_file;

class jet_guard {
public:
    static constexpr uint64_t probe_all_rows_limit = 64ull << 20;
    static constexpr uint32_t probe_sample_rows = 1000;

    // Raises jet_error 3343 naming the file when reading it crashes or hangs.
    // `password` is the one `file` was opened with. A file this process has
    // seen read to the end is not read again while it is unchanged (same
    // identity, size and change times; same code page and password).
    static void probe(const jet_file& file, std::u16string_view password = u"");
    // Forgets those files: the next probe of each reads it again.
    static void forget_probed();

    // The in-process fuzzing harness turns the guard off to see the crashes
    // itself; everything else leaves it on.
    static bool enabled;

    // The probe program; empty: tlvjetprobe beside the running program, in
    // ../libexec/tolvane from it, or where the build made it.
    static std::string program;

    // Time a probe may take: this plus a second per MB of file.
    static int64_t base_limit_ms;

    // The reading the probe performs, also callable in-process; returns the
    // number of rows read.
    static uint64_t read_everything(const jet_file& file, bool all_rows);

    // The probe program's body: `tlvjetprobe FILE CODE_PAGE ALL_ROWS` with
    // the password on standard input. Returns its exit status: 0 when the
    // reading ended (an error the component reports is the caller's to
    // report again), 2 for a wrong command line.
    static int probe_main(int argc, char** argv);
};
