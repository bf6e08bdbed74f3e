// Writes the LOB values of one row after the row itself: the row is
// selected FOR UPDATE and each LOB is written through its locator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ole_vartype.h"
#include "ora_oci.h"

class udb_field;
class udb_schema;

class ora_lob_insert {
public:
    // One entry per LOB column of `columns`.
    ora_lob_insert(const std::u16string& table_name, const udb_schema& columns);
    ~ora_lob_insert();
    ora_lob_insert(const ora_lob_insert&) = delete;
    ora_lob_insert& operator=(const ora_lob_insert&) = delete;

    bool empty() const { return lobs_.empty(); }

    // Writes `values[i]` into the i-th LOB column of the row `where` selects
    // (for example "ROWID='...'"). A null pointer, a NULL value or an empty
    // one leaves the column as the row has it.
    void insert(const std::u16string& where, const std::vector<const udb_field*>& values);
    // The same for the row of a ROWID.
    void insert_rowid(const std::u16string& rowid, const std::vector<const udb_field*>& values);

    struct lob_column {
        uint32_t position;
        ole_vartype vt;
        std::u16string name;
    };
    const std::vector<lob_column>& columns() const { return lobs_; }

    void write_blob(size_t i, const udb_field& value);
    void write_clob(size_t i, const udb_field& value);

private:
    std::u16string table_name_;
    std::vector<OCIDefine*> defines_;
    std::vector<lob_column> lobs_;
    std::vector<OCILobLocator*> locators_;
};
