// DAO's errors for query texts: syntax, unknown names, unsupported
// statements. They travel as jet_error: number and text as DAO gives them,
// from jet_error's one table of texts, so DBEngine.Errors and the
// exception always agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "jet_error.h"

enum : int32_t {
    jet_err_too_few_parameters = 3061,
    jet_err_unbound_reference = 3070,
    jet_err_expression_too_complex = 3071,
    jet_err_query_expression = 3075,
    jet_err_ambiguous_field = 3079,
    jet_err_undefined_function = 3085,
    jet_err_not_in_aggregate = 3122,
    jet_err_from_syntax = 3131,
    jet_err_order_by_syntax = 3138,
    jet_err_select_syntax = 3141,
    jet_err_trailing_characters = 3142,
    jet_err_where_syntax = 3145,
    jet_err_subquery_fields = 3306,
    jet_err_union_columns = 3307,
    jet_err_type_mismatch = 3464,
};

class jet_sql_error : public jet_error {
public:
    // `arg` fills the template's placeholder; for 3075 it is the whole
    // text, as jet_sql_error::expression builds it.
    explicit jet_sql_error(int32_t number, std::u16string_view arg = {});
    jet_sql_error(const jet_sql_error&) = default;
    ~jet_sql_error() override;

    // 3075: "<what> in query expression '<expression>'."
    static jet_sql_error expression(std::u16string_view what, std::u16string_view expression);
};
