// One Access row as a neutral record: a dao_field per column, in the
// order of the row's Fields collection. The values are copied when the
// record is made; moving the recordset afterwards does not change them.
#pragma once

#include <vector>

#include "udb_record.h"

class jet_field;

class dao_record : public udb_record {
public:
    explicit dao_record(const std::vector<jet_field>& fields);
    ~dao_record() override;

private:
    bool spare_ = false;
};
