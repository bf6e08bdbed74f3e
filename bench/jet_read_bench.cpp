// Benchmark of the table scan, the conversion's hot path: every row and
// every value of one table, read either through the Access component
// (QueryDef "SELECT * FROM [name]", each Field.Value as DAO delivers it)
// or through dao_recordset (one dao_record per row, as the run reads a
// table). A third mode runs another program and reports its time and peak
// memory the same way, so that mdb-export can be measured beside ours.
// Each mode runs in a process of its own: the peak resident size is that
// of the one reading.
//
//   jet_read_bench component FILE TABLE
//   jet_read_bench dao FILE TABLE
//   jet_read_bench run PROGRAM [ARGS...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "dao_database.h"
#include "dao_engine.h"
#include "jet_database.h"
#include "jet_dbengine.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "tk_exception.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double peak_mib(const rusage& ru)
{
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

void report(const char* mode, long rows, long values, double seconds, double mib)
{
    std::printf("%-10s rows %ld  values %ld  %.2f s  %.0f rows/s  peak RSS %.1f MiB\n", mode, rows, values, seconds,
                seconds > 0 ? static_cast<double>(rows) / seconds : 0.0, mib);
}

void report_self(const char* mode, long rows, long values, double seconds)
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    report(mode, rows, values, seconds, peak_mib(ru));
}

// Every value's kind goes into this sum, so that no conversion can be
// left out by the optimiser.
volatile size_t g_weight = 0;

size_t weigh(const ole_variant& v)
{
    return static_cast<size_t>(v.get_vt());
}

int run_component(const std::u16string& path, const std::u16string& table)
{
    auto t0 = std::chrono::steady_clock::now();
    std::unique_ptr<jet_dbengine> engine = jet_dbengine::create(3);
    std::unique_ptr<jet_database> db = engine->open_database(path, false, true, u"");
    long rows = 0, values = 0;
    size_t weight = 0;
    {
        auto rs = db->create_querydef(u"", u"SELECT * FROM [" + table + u"]")->open_recordset(2, 4);
        for (; !rs->eof(); rs->move_next()) {
            for (const jet_field& f : rs->fields()) {
                weight += weigh(f.value());
                ++values;
            }
            ++rows;
        }
    }
    db->close();
    report_self("component", rows, values, seconds_since(t0));
    g_weight = weight;
    return 0;
}

int run_dao(const std::u16string& path, const std::u16string& table)
{
    auto t0 = std::chrono::steady_clock::now();
    dao_engine engine(true, false);
    engine.choose_generation();
    long rows = 0, values = 0;
    size_t weight = 0;
    {
        // Mode 33: read-only, relationships not read (the table page's mode).
        std::unique_ptr<udb_database> db = engine.open_db(path, 33, u"");
        std::unique_ptr<udb_recordset> rs = db->get_table(table, 1);
        if (!rs) {
            std::fprintf(stderr, "not a user table\n");
            return 1;
        }
        for (rs->move_first(); !rs->is_eof(); rs->next()) {
            udb_record* r = rs->get_item();
            for (size_t i = 0; i < r->size(); ++i) weight += weigh((*r)[i]);
            values += static_cast<long>(r->size());
            ++rows;
        }
    }
    report_self("dao", rows, values, seconds_since(t0));
    g_weight = weight;
    return 0;
}

// Runs argv[0..] with standard output discarded; reports the child's wall
// time and peak memory.
int run_program(char** argv)
{
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 1;
    }
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) < 0) {
        std::perror("wait4");
        return 1;
    }
    const double seconds = seconds_since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
        return 1;
    }
    std::printf("%-10s %.2f s  peak RSS %.1f MiB\n", argv[0], seconds, peak_mib(ru));
    return 0;
}

int usage()
{
    std::fputs("usage: jet_read_bench component|dao FILE TABLE\n"
               "       jet_read_bench run PROGRAM [ARGS...]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    if (mode == "run") return run_program(argv + 2);
    if (argc != 4) return usage();
    const std::u16string path = tk_from_utf8(argv[2]);
    const std::u16string table = tk_from_utf8(argv[3]);
    try {
        if (mode == "component") return run_component(path, table);
        if (mode == "dao") return run_dao(path, table);
    } catch (const tk_exception& e) {
        std::fprintf(stderr, "error %u: %s\n", e.code, e.message.c_str());
        return 1;
    }
    return usage();
}
