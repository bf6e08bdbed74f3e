#include "jet_sql_error.h"

jet_sql_error::jet_sql_error(int32_t num, std::u16string_view arg) : jet_error(num, arg) {}

jet_sql_error::~jet_sql_error() = default;

jet_sql_error jet_sql_error::expression(std::u16string_view what, std::u16string_view expr)
{
    std::u16string text(what);
    text += u" in query expression '";
    text += expr;
    text += u"'.";
    return jet_sql_error(jet_err_query_expression, text);
}
