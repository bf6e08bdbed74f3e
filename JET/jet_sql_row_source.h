// A query result as the component's row source, so that a QueryDef's
// Recordset reads an Access query the way it reads a table: fields with
// DAO's types and values in the component's own form (jet_value).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jet_recordset.h"
#include "jet_sql_engine.h"

class jet_sql_row_source : public jet_row_source {
public:
    // Compiles and starts `sql`; raises the statement's DAO error. The
    // engine must outlive the source.
    jet_sql_row_source(jet_sql_engine& engine, std::u16string sql);
    ~jet_sql_row_source() override;

    const std::vector<jet_column>& columns() const override { return columns_; }
    void rewind() override;
    bool next(std::vector<jet_value>& row) override;
    // Runs "select count(*) from (sql)" the first time it is asked.
    int32_t count() const override;

    // The component's value of column `c` of the current row.
    static jet_value value_of(const jet_sql_result& result, size_t c);
    // The component's description of a result column.
    static jet_column column_of(const jet_sql_result_column& column);

private:
    jet_sql_engine& engine_;
    std::u16string sql_;
    std::unique_ptr<jet_sql_result> result_;
    std::vector<jet_column> columns_;
    mutable int32_t count_ = -1;
};
