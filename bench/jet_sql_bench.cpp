// Benchmark of the query engine: a join and a GROUP BY over the two tables
// of big-joins.mdb (Orders 100,000 rows, OrderLines 499,005 rows), run
// either through the engine over the Access file ("engine") or by SQLite
// over the same data already loaded natively into a SQLite file
// ("native"), so each mode reports its own peak memory.
//
//   jet_sql_bench engine big-joins.mdb
//   jet_sql_bench stream big-joins.mdb
//   jet_sql_bench native big-joins.sqlite
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "jet_catalog.h"
#include "jet_file.h"
#include "jet_sql_engine.h"
#include "jet_sql_file_source.h"
#include "tk_wstring.h"

namespace {

struct query {
    const char* name;
    const char16_t* access;
    const char* native;
};

const query k_queries[] = {
    {"join+group",
     u"SELECT o.CustomerID, Count(*) AS Lines, Sum(l.Quantity * l.UnitPrice) AS Amount "
     u"FROM Orders AS o INNER JOIN OrderLines AS l ON o.OrderID = l.OrderID "
     u"GROUP BY o.CustomerID ORDER BY o.CustomerID",
     "SELECT o.CustomerID, count(*), sum(l.Quantity * l.UnitPrice) FROM Orders o JOIN OrderLines l "
     "ON o.OrderID = l.OrderID GROUP BY o.CustomerID ORDER BY o.CustomerID"},
    {"join",
     u"SELECT o.OrderID, o.OrderDate, l.LineNo, l.ProductID FROM Orders AS o INNER JOIN OrderLines AS l "
     u"ON o.OrderID = l.OrderID WHERE l.Quantity > 5 ORDER BY o.OrderDate, l.LineNo",
     "SELECT o.OrderID, o.OrderDate, l.LineNo, l.ProductID FROM Orders o JOIN OrderLines l ON o.OrderID = l.OrderID "
     "WHERE l.Quantity > 5 ORDER BY o.OrderDate, l.LineNo"},
    {"group",
     u"SELECT ProductID, Count(*), Sum(Quantity), Avg(UnitPrice) FROM OrderLines GROUP BY ProductID "
     u"ORDER BY Sum(Quantity) DESC",
     "SELECT ProductID, count(*), sum(Quantity), avg(UnitPrice) FROM OrderLines GROUP BY ProductID ORDER BY 3 DESC"},
};

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double cpu_seconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long peak_kib()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

int run_engine(const std::string& path)
{
    auto t0 = std::chrono::steady_clock::now();
    jet_file file(tk_from_utf8(path), u"");
    jet_catalog catalog(file);
    jet_sql_file_source source(file, catalog);
    jet_sql_engine engine(source);
    for (const query& q : k_queries) {
        auto t = std::chrono::steady_clock::now();
        double c = cpu_seconds();
        auto r = engine.open(q.access);
        double opened = seconds_since(t);
        long rows = 0;
        while (r->next()) ++rows;
        std::printf("engine %-10s rows %8ld  %7.3f s wall (open and load %.3f s), %7.3f s CPU, peak so far %ld KiB\n",
                    q.name, rows, seconds_since(t), opened, cpu_seconds() - c, peak_kib());
    }
    std::printf("engine total %.3f s wall, %.3f s CPU (tables loaded once), peak RSS %ld KiB\n", seconds_since(t0),
                cpu_seconds(), peak_kib());
    // A fresh engine streams a table that a statement reads once.
    jet_sql_engine fresh(source);
    auto t = std::chrono::steady_clock::now();
    double c = cpu_seconds();
    auto r = fresh.open(k_queries[2].access);
    long rows = 0;
    while (r->next()) ++rows;
    std::printf("engine %-10s rows %8ld  %7.3f s wall, %7.3f s CPU, streamed from the file\n", "group", rows,
                seconds_since(t), cpu_seconds() - c);
    return 0;
}

// The GROUP BY alone in a fresh process: the table streams from the file,
// so peak memory shows what a one-table statement costs.
int run_stream(const std::string& path)
{
    auto t0 = std::chrono::steady_clock::now();
    jet_file file(tk_from_utf8(path), u"");
    jet_catalog catalog(file);
    jet_sql_file_source source(file, catalog);
    jet_sql_engine engine(source);
    auto r = engine.open(k_queries[2].access);
    long rows = 0;
    while (r->next()) ++rows;
    std::printf("stream %-10s rows %8ld  %7.3f s wall, %7.3f s CPU, peak RSS %ld KiB\n", k_queries[2].name, rows,
                seconds_since(t0), cpu_seconds(), peak_kib());
    return 0;
}

int run_native(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
    auto t0 = std::chrono::steady_clock::now();
    for (const query& q : k_queries) {
        auto t = std::chrono::steady_clock::now();
        double c = cpu_seconds();
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, q.native, -1, &st, nullptr) != SQLITE_OK) {
            std::printf("native %s: %s\n", q.name, sqlite3_errmsg(db));
            return 1;
        }
        long rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++rows;
        sqlite3_finalize(st);
        std::printf("native %-10s rows %8ld  %7.3f s wall, %7.3f s CPU, peak so far %ld KiB\n", q.name, rows,
                    seconds_since(t), cpu_seconds() - c, peak_kib());
    }
    std::printf("native total %.3f s wall, %.3f s CPU, peak RSS %ld KiB\n", seconds_since(t0), cpu_seconds(),
                peak_kib());
    sqlite3_close(db);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: jet_sql_bench engine|stream FILE.mdb | native FILE.sqlite\n");
        return 2;
    }
    try {
        if (std::strcmp(argv[1], "engine") == 0) return run_engine(argv[2]);
        if (std::strcmp(argv[1], "native") == 0) return run_native(argv[2]);
        if (std::strcmp(argv[1], "stream") == 0) return run_stream(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}
