// A jet_sql_source for tests, fed from mdb-export (Debian mdbtools): the
// tables of an Access file are exported as SQLite INSERT statements into a
// plain in-memory SQLite database, which also serves as the independent
// reference that hand-written SQLite queries run against. Column types
// come from mdb-schema's Access form.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet_sql_date.h"
#include "jet_sql_engine.h"
#include "jet_sql_source.h"
#include "tk_wstring.h"

class jet_sql_test_source : public jet_sql_source {
public:
    explicit jet_sql_test_source(const std::string& mdb) : mdb_(mdb)
    {
        if (sqlite3_open(":memory:", &ref_) != SQLITE_OK) throw std::runtime_error("sqlite");
        read_schema();
        for (const auto& [name, cols] : tables_) export_table(name, cols);
    }
    ~jet_sql_test_source() override { sqlite3_close(ref_); }

    sqlite3* reference() const { return ref_; }
    int table_reads = 0;                               // how many times the engine read a table
    std::vector<bool> last_wanted;                     // the columns of the last read (empty: all)
    std::map<std::u16string, std::u16string> queries;  // saved queries by name

    bool find_table(std::u16string_view wanted, std::u16string& name, std::vector<jet_sql_column>& columns) override
    {
        for (const auto& [n, cols] : tables_) {
            if (!tk_equal_nocase(tk_from_utf8(n), wanted)) continue;
            name = tk_from_utf8(n);
            columns = cols;
            return true;
        }
        return false;
    }

    bool find_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql) override
    {
        for (const auto& [n, q] : queries) {
            if (!tk_equal_nocase(n, wanted)) continue;
            name = n;
            sql = q;
            return true;
        }
        return false;
    }

    std::unique_ptr<jet_sql_cursor> open_table(const std::u16string& name) override { return open_columns(name, {}); }

    // Like the file reader, leaves the columns not wanted NULL, so that a
    // statement reading a column the engine did not ask for shows it.
    std::unique_ptr<jet_sql_cursor> open_columns(const std::u16string& name, const std::vector<bool>& wanted) override
    {
        ++table_reads;
        last_wanted = wanted;
        return std::make_unique<cursor>(ref_, tk_to_utf8(name), tables_.at(tk_to_utf8(name)), wanted);
    }

private:
    class cursor : public jet_sql_cursor {
    public:
        cursor(sqlite3* db, const std::string& table, const std::vector<jet_sql_column>& cols, std::vector<bool> wanted)
            : cols_(cols), wanted_(std::move(wanted))
        {
            std::string sql = "SELECT * FROM \"" + table + "\"";
            sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
        }
        ~cursor() override { sqlite3_finalize(stmt_); }

        bool next(jet_sql_row_sink& sink) override
        {
            if (sqlite3_step(stmt_) != SQLITE_ROW) return false;
            for (size_t i = 0; i < cols_.size(); ++i) put(sink, i);
            return true;
        }

    private:
        void put(jet_sql_row_sink& sink, size_t i)
        {
            int c = static_cast<int>(i);
            if (sqlite3_column_type(stmt_, c) == SQLITE_NULL || (!wanted_.empty() && !wanted_[i]))
                return sink.put_null(i);
            switch (cols_[i].dao_type) {
            case jet_dao_date: {
                double d = 0;
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
                jet_sql_date_parse(tk_from_utf8(t), d);
                return sink.put_double(i, d);
            }
            case jet_dao_boolean:
            case jet_dao_byte:
            case jet_dao_integer:
            case jet_dao_long: return sink.put_int(i, sqlite3_column_int64(stmt_, c));
            case jet_dao_currency:
            case jet_dao_single:
            case jet_dao_double:
            case jet_dao_decimal: return sink.put_double(i, sqlite3_column_double(stmt_, c));
            case jet_dao_binary:
            case jet_dao_long_binary:
                return sink.put_blob(i, static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, c)),
                                     static_cast<size_t>(sqlite3_column_bytes(stmt_, c)));
            default: {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
                return sink.put_utf8(i, std::string_view(t, static_cast<size_t>(sqlite3_column_bytes(stmt_, c))));
            }
            }
        }

        sqlite3_stmt* stmt_ = nullptr;
        const std::vector<jet_sql_column>& cols_;
        std::vector<bool> wanted_;
    };

    static std::string run(const std::string& cmd)
    {
        std::string out;
        FILE* p = popen(cmd.c_str(), "r");
        if (p == nullptr) throw std::runtime_error(cmd);
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
        return out;
    }

    std::string quoted(const std::string& s) const { return "'" + s + "'"; }

    static jet_sql_column parse_column(const std::string& line)
    {
        jet_sql_column c;
        size_t b = line.find('['), e = line.find(']');
        c.name = tk_from_utf8(line.substr(b + 1, e - b - 1));
        std::string t = line.substr(line.find_first_not_of("\t ", e + 1));
        struct row {
            const char* prefix;
            int32_t type;
            int32_t size;
        };
        static const row k_rows[] = {
            {"Long Integer", 4, 4},  {"Integer", 3, 2},   {"Byte", 2, 1},     {"Currency", 5, 8}, {"Single", 6, 4},
            {"Double", 7, 8},        {"DateTime", 8, 8},  {"Boolean", 1, 1},  {"Memo", 12, 0},    {"OLE", 11, 0},
            {"Replication", 15, 16}, {"Numeric", 20, 16}, {"Binary", 9, 255}, {"Text", 10, 255}};
        for (const row& r : k_rows) {
            if (t.rfind(r.prefix, 0) != 0) continue;
            c.dao_type = r.type;
            c.size = r.size;
            if (r.type == 10) c.size = std::stoi(t.substr(t.find('(') + 1));
            return c;
        }
        throw std::runtime_error("unknown column type: " + t);
    }

    void read_schema()
    {
        std::string schema = run("mdb-schema " + quoted(mdb_) + " access 2>/dev/null");
        std::string table;
        size_t pos = 0;
        while (pos < schema.size()) {
            size_t nl = schema.find('\n', pos);
            std::string line = schema.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
            pos = nl == std::string::npos ? schema.size() : nl + 1;
            if (line.rfind("CREATE TABLE [", 0) == 0) {
                table = line.substr(14, line.rfind(']') - 14);
                order_.push_back(table);
                tables_[table];
            } else if (!table.empty() && line.find('[') != std::string::npos && line.find('\t') == 0) {
                tables_[table].push_back(parse_column(line));
            } else if (line.rfind(");", 0) == 0) {
                table.clear();
            }
        }
    }

    void export_table(const std::string& name, const std::vector<jet_sql_column>& cols)
    {
        std::string create = "CREATE TABLE \"" + name + "\" (";
        for (size_t i = 0; i < cols.size(); ++i) create += (i ? ", \"" : "\"") + tk_to_utf8(cols[i].name) + "\"";
        sqlite3_exec(ref_, (create + ")").c_str(), nullptr, nullptr, nullptr);
        std::string inserts = run("mdb-export -I sqlite -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex " +
                                  quoted(mdb_) + " " + quoted(name) + " 2>/dev/null");
        char* err = nullptr;
        if (sqlite3_exec(ref_, inserts.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string e = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error("loading " + name + ": " + e);
        }
    }

    std::string mdb_;
    sqlite3* ref_ = nullptr;
    std::vector<std::string> order_;
    std::map<std::string, std::vector<jet_sql_column>> tables_;
};

// A suite over Northwind: one test source per suite (the export is the
// expensive part), a fresh engine per test.
class jet_sql_northwind_test : public ::testing::Test {
protected:
    static void SetUpTestSuite() { source_ = new jet_sql_test_source(std::string(TOLVANE_TEST_DATA) + "/nwind.mdb"); }
    static void TearDownTestSuite()
    {
        delete source_;
        source_ = nullptr;
    }
    void SetUp() override { engine_ = std::make_unique<jet_sql_engine>(*source_); }

    static inline jet_sql_test_source* source_ = nullptr;
    std::unique_ptr<jet_sql_engine> engine_;
};
