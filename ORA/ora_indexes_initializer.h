// Keys and indexes of a new Oracle table.
#pragma once

#include <cstdint>
#include <string>

#include "udb_index.h"

class t_names_map;
class udb_schema;
class ora_database;

class ora_indexes_initializer {
public:
    // Needs the run's ora_in_validator. Indexes over LOB columns are
    // dropped; names Oracle would refuse are replaced.
    ora_indexes_initializer(const std::u16string& table_name, const udb_indexes& source, const t_names_map& column_map,
                            const udb_schema& target);

    // One statement per key or index. ORA-01408 and ORA-02261 are passed
    // over; any other failure is reported through the error policy with the
    // index named and the remaining indexes still follow.
    void build_indexes(ora_database& database);

    // The statement for index `i`, or empty when it is skipped.
    std::u16string index_text(size_t i) const;

    const udb_indexes& indexes() const { return indexes_; }
    uint32_t primary_key_position() const { return pk_; }

private:
    uint32_t pk_ = UINT32_MAX;
    std::u16string table_name_;
    udb_indexes indexes_;
};
