// A fresh store for each test: ORAEMU_HOME points at a new temporary
// folder holding service XE with users SCOTT/tiger and HR/hr.
#pragma once

#include "emu_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace emu_test {

// The Oracle error `fn` raises, or 0.
inline int code_of(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const emu::ora_error& e) {
        return e.code;
    }
    return 0;
}

// The text of the Oracle error `fn` raises, or "".
inline std::string text_of(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const emu::ora_error& e) {
        return e.text;
    }
    return "";
}

// A private ORAEMU_HOME, removed with the test.
class home_fixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/oraemu_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home_ = tmpl;
        setenv("ORAEMU_HOME", home_.c_str(), 1);
        unsetenv("ORAEMU_LOG");
    }
    void TearDown() override { std::filesystem::remove_all(home_); }

    std::string home_;
};

class store_fixture : public home_fixture {
protected:
    void SetUp() override {
        home_fixture::SetUp();
        if (HasFatalFailure()) return;
        // ORAEMU_TEST_SQL_LOG collects every statement the tests send, for
        // checking them against an Oracle grammar.
        if (const char* all = std::getenv("ORAEMU_TEST_SQL_LOG")) setenv("ORAEMU_LOG", all, 1);
        emu::create_service("XE", version());
        emu::create_user("XE", "scott", "tiger");
        emu::create_user("XE", "hr", "hr");
        s = emu::session::logon("//localhost:1521/XE", "scott", "tiger");
    }

    void TearDown() override {
        cursor_ = {};
        s.reset();
        home_fixture::TearDown();
    }

    virtual std::string version() const { return "11g"; }

    emu::exec_result run(const std::string& sql, const std::vector<emu::bind_value>& binds = {},
                         bool commit = false) {
        return s->execute(sql, binds, commit);
    }

    // The Oracle error a statement raises, or 0.
    int error_of(const std::string& sql, const std::vector<emu::bind_value>& binds = {}) {
        try {
            // A query's errors may come with its first row, as OCI's
            // execute-and-fetch reports them.
            emu::exec_result r = run(sql, binds);
            std::vector<emu::value> row;
            if (r.rows) r.rows->fetch(row);
        } catch (const emu::ora_error& e) {
            last_error = e.text;
            return e.code;
        }
        last_error.clear();
        return 0;
    }

    // All rows of a query as text cells (NULL as "<null>").
    std::vector<std::vector<std::string>> rows(const std::string& sql, emu::session* on = nullptr) {
        emu::exec_result r = (on ? on : s.get())->execute(sql, {}, false);
        std::vector<std::vector<std::string>> out;
        std::vector<emu::value> row;
        while (r.rows->fetch(row)) {
            std::vector<std::string> cells;
            for (const auto& v : row) cells.push_back(v.null ? "<null>" : v.data);
            out.push_back(cells);
        }
        return out;
    }

    // The first row of a query (its cursor stays open until the next call);
    // a query without rows fails the test.
    std::vector<emu::value> first_row(const std::string& sql) {
        cursor_ = run(sql);
        std::vector<emu::value> row;
        if (!cursor_.rows || !cursor_.rows->fetch(row)) throw std::runtime_error("no row from " + sql);
        return row;
    }

    std::string one(const std::string& sql) {
        auto r = rows(sql);
        if (r.empty() || r[0].empty()) return "<no row>";
        return r[0][0];
    }

    std::unique_ptr<emu::session> s;
    std::string last_error;
    emu::exec_result cursor_;
};

inline emu::bind_value bind_out(const std::string& name) {
    emu::bind_value b;
    b.name = name;
    b.is_output = true;
    return b;
}

}  // namespace emu_test

using emu_test::store_fixture;
// A query's rows as text cells.
using Rows = std::vector<std::vector<std::string>>;
