// A conversion simulated over named tables with row counts: no file and no
// server. The screenshot program shows the pages with it, and the wizard's
// tests script runs with it: where rows fail, how long a row takes, which
// source checks fail. Failures go through the real error policy, so the
// dialogs and the finish page see what a real run would give them.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tk_exception.h"
#include "wizard_backend.h"

class wizard_sample_backend : public wizard_backend {
public:
    struct table {
        std::u16string name;
        int64_t rows = 0;
    };

    wizard_sample_backend();

    // The source's tables; queries are accepted when they begin with
    // SELECT and name a table of this list after FROM.
    std::vector<table> tables;
    // Rows (table name, 1-based row) whose loading fails with an Oracle
    // unique-key violation.
    std::set<std::pair<std::u16string, int64_t>> failing_rows;
    // Rows whose loading meets an internal error (a broken invariant).
    std::set<std::pair<std::u16string, int64_t>> internal_failure_rows;
    // How long one row takes.
    std::chrono::microseconds row_time{0};
    // Failures of the checks, raised as they stand when set.
    std::unique_ptr<tk_exception> connect_failure;
    std::unique_ptr<tk_exception> source_failure;

    void connect_oracle_server(const std::u16string& dest) override;
    bool connected() const override { return connected_; }
    void disconnect() override { connected_ = false; }
    void check_acc_base() override;
    std::vector<std::u16string> get_all_tables() override;
    bool test_query(const std::u16string& text) override;
    // Any file whose name ends in .mdw.
    bool is_workgroup_file(const std::u16string& path) override;
    // Profiles of this simulation: "src=", "dest=", "mode=", "table=NAME"
    // and "query=NAME:TEXT" lines.
    void load_profile(const std::u16string& path) override;
    bool store_profile(const std::u16string& path) override;
    void run() override;

    // Calls made, in order, for tests ("connect XE", "check", "tables", ...).
    std::vector<std::string> calls;

private:
    void convert_entry(const std::u16string& name, const std::u16string& query);
    const table* find(const std::u16string& name) const;
    // The table a query reads: the word after FROM.
    const table* from_table(const std::u16string& query) const;

    bool connected_ = false;
};
