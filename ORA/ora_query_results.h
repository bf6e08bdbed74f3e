// Rows of any SELECT as a udb_recordset, one row at a time.
//
// The reading loop is: while (!rs.is_eof()) { udb_record* r = rs.get_item(); ... }
// is_eof() fetches the next row unless a fetched row has not been handed
// out yet, so calling it twice does not skip a row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ora_stmt.h"
#include "ora_type.h"
#include "udb_record.h"
#include "udb_recordset.h"

// The current row: one field per column, VT_NULL where the column is NULL.
class ora_record : public udb_record {
public:
    explicit ora_record(const std::vector<std::unique_ptr<ora_type>>& columns);
};

class ora_query_results : public udb_recordset {
public:
    ora_query_results(const std::u16string& name, const std::u16string& query_text);
    // For catalogue reads: `columns` 0 takes the count from the statement.
    ora_query_results(uint32_t columns, const std::u16string& query_text);
    ~ora_query_results() override;

    // Prepares and executes `text`, describes its columns into the schema and
    // defines them. A second call is an internal error.
    void initialize(uint32_t columns, const std::u16string& text);

    void append_record(udb_record& record) override;
    udb_record* get_item() override;
    bool is_eof() override;

    size_t column_count() const { return types_.size(); }
    ora_type& column(size_t i) const { return *types_.at(i); }

protected:
    bool fetch_row();

    bool fetched_ = false;
    bool initialized_ = false;
    bool at_end_ = false;
    std::unique_ptr<ora_stmt> stmt_;
    std::vector<std::unique_ptr<ora_type>> types_;
    std::unique_ptr<ora_record> current_;
};
