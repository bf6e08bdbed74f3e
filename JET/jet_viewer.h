// What tlvinspect prints: a file's format, its tables with their DAO
// attributes, columns, indexes and rows, the tables the conversion skips
// and why, and the relationships, as one JSON document.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

struct jet_inspect_options {
    std::u16string file;
    std::u16string password;
    std::u16string workgroup;
    std::u16string user;
    std::u16string user_password;
    std::u16string table;  // empty: every user table
    bool rows = true;
    std::u16string query;       // --query: this statement's result instead of the tables
    std::u16string test_query;  // --test-query: compile this statement only
    int jet3_code_page = 0;     // --jet3-codepage: Access 97 text's code page (0: the header's)
};

class jet_viewer {
public:
    // Writes the JSON document; raises jet_error as the component does
    // when the file cannot be opened. A table that cannot be read (an ODBC
    // link, damaged rows) is written with its error instead, and the other
    // tables follow.
    // With a query or a test query in the options, inspect_query or
    // test_query runs instead.
    static void inspect(const jet_inspect_options& options, std::ostream& out);
    // The result of options.query as a table: its columns as DAO describes
    // them, its row count and (unless options.rows is false) its rows.
    static void inspect_query(const jet_inspect_options& options, std::ostream& out);
    // Compiles options.test_query and resolves its names without reading
    // rows; writes "ok" or raises the statement's jet_error.
    static void test_query(const jet_inspect_options& options, std::ostream& out);

    // The neutral kind (VARIANT type code) a DAO type becomes on the way
    // to the target: Part of the schema the run builds.
    static int neutral_kind(int16_t dao_type);
    // JSON string literal of UTF-16 text.
    static std::string json_string(std::u16string_view text);
    // Shortest decimal texts that read back to the same value.
    static std::string shortest(double value);
    static std::string shortest(float value);
};
