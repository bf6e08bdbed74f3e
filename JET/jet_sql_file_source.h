// The query engine's view of an open Access file: its local tables (system
// tables included, so MSysRelationships is readable by a SELECT), read by
// the component's streaming table reader, and its saved SELECT queries
// rebuilt from MSysQueries. Linked tables are not readable here.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "jet_sql_source.h"

class jet_file;
class jet_catalog;
struct jet_catalog_entry;

class jet_sql_file_source : public jet_sql_source {
public:
    // `file` and `catalog` must outlive the source.
    jet_sql_file_source(const jet_file& file, const jet_catalog& catalog);
    ~jet_sql_file_source() override;

    bool find_table(std::u16string_view wanted, std::u16string& name, std::vector<jet_sql_column>& columns) override;
    std::unique_ptr<jet_sql_cursor> open_table(const std::u16string& name) override;
    std::unique_ptr<jet_sql_cursor> open_columns(const std::u16string& name, const std::vector<bool>& wanted) override;
    // The count the table definition stores.
    int64_t row_estimate(const std::u16string& name) override;
    bool find_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql) override;

private:
    const jet_catalog_entry* local_table(std::u16string_view name) const;
    void read_queries();

    const jet_file& file_;
    const jet_catalog& catalog_;
    bool queries_read_ = false;
    std::map<std::u16string, std::pair<std::u16string, std::u16string>> queries_;  // folded name → name, SQL
};
