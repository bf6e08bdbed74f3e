// A recordset over an Access table or SELECT query: reads the record
// count, the columns and (for a table) the indexes when it is made, then
// hands out one dao_record per row.
//
// The table scan streams: only the current row is held. The record of
// get_item belongs to the recordset and lives until the next get_item.
//
// The recordset may outlive its dao_database: the database then closes
// the underlying Recordset, and every call but the destructor raises DAO's
// error 3420. The TableDef and QueryDef it is made from serve only the
// constructor and are not kept, so nothing refers to the database after.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dao_record.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "ole_com_ptr.h"
#include "udb_recordset.h"

class t_ftd;

class dao_recordset : public udb_recordset {
public:
    // Over a table: the count, columns and indexes come from `tabledef`.
    dao_recordset(const std::u16string& name, std::unique_ptr<jet_recordset> rs,
                  std::unique_ptr<jet_tabledef> tabledef);
    // Over a query: `count` rows, columns from `querydef`, no indexes.
    dao_recordset(const std::u16string& name, const std::u16string& text, std::unique_ptr<jet_recordset> rs,
                  std::unique_ptr<jet_querydef> querydef, uint32_t count);
    ~dao_recordset() override;

    // Access files are only read: AddNew is refused with DAO's error 3251
    // after the record has been checked against the schema.
    void append_record(udb_record& record) override;
    udb_record* get_item() override;
    bool is_eof() override;
    void next() override;
    void move_prev() override;
    void move_first() override;

    // The value append_record would store for `field` in the column `ftd`.
    static ole_variant value_to_store(const udb_field& field, const t_ftd& ftd);

    // Columns of the table that the component cannot deliver (attachments,
    // multi-valued fields); they are in neither the schema nor the records.
    const std::vector<std::u16string>& skipped_columns() const { return skipped_; }

private:
    void init_schema(jet_tabledef& tabledef);
    void init_schema(jet_querydef& querydef);
    void init_indexes(jet_tabledef& tabledef);
    void read_eof();
    bool uses_skipped_column(const jet_index& index) const;
    // DAO's 3420 once the database has closed the Recordset.
    void check_open() const;

    int32_t count_ = 0;
    int16_t eof_ = -1;
    std::unique_ptr<dao_record> current_;
    ole_com_ptr<jet_recordset> rs_;
    std::vector<std::u16string> skipped_;
};
