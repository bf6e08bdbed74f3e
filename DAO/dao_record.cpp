#include "dao_record.h"

#include <memory>

#include "dao_field.h"
#include "jet_field.h"
#include "tk_logger.h"

dao_record::dao_record(const std::vector<jet_field>& fields)
{
    tk_trace(1, "dao_record::dao_record: n_refs = %d", 1);
    for (const jet_field& f : fields) push_back(std::make_unique<dao_field>(f, true));
}

dao_record::~dao_record() = default;
