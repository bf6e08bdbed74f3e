#include "jet_sql_error.h"

#include "tk_wstring.h"

namespace {

struct text_row {
    int32_t number;
    const char16_t* text;
};

// ACE wording, as the rest of the component uses.
const text_row k_texts[] = {
    {3000, u"Reserved error (|); there is no message for this error."},
    {5, u"Invalid procedure call or argument"},
    {6, u"Overflow"},
    {11, u"Division by zero"},
    {13, u"Type mismatch"},
    {94, u"Invalid use of Null"},
    {3061, u"Too few parameters. Expected |."},
    {3070, u"The Microsoft Access database engine does not recognize '|' as a valid field name or expression."},
    {3071, u"This expression is typed incorrectly, or it is too complex to be evaluated. For example, a numeric "
           u"expression may contain too many complicated elements. Try simplifying the expression by assigning "
           u"parts of the expression to variables."},
    {3075, u"|"},
    {3079, u"The specified field '|' could refer to more than one table listed in the FROM clause of your SQL "
           u"statement."},
    {3085, u"Undefined function '|' in expression."},
    {3122, u"Your query does not include the specified expression '|' as part of an aggregate function."},
    {3131, u"Syntax error in FROM clause."},
    {3138, u"Syntax error in ORDER BY clause."},
    {3141, u"The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or "
           u"the punctuation is incorrect."},
    {3142, u"Characters found after end of SQL statement."},
    {3145, u"Syntax error in WHERE clause."},
    {3306, u"You have written a subquery that can return more than one field without using the EXISTS reserved "
           u"word in the main query's FROM clause. Revise the SELECT statement of the subquery to request only "
           u"one field."},
    {3307, u"The number of columns in the two selected tables or queries of a union query do not match."},
    {3464, u"Data type mismatch in criteria expression."},
};

}  // namespace

std::u16string jet_sql_error::text_of(int32_t number, std::u16string_view arg)
{
    for (const text_row& row : k_texts) {
        if (row.number != number) continue;
        std::u16string out;
        for (const char16_t* p = row.text; *p != 0; ++p) {
            if (*p == u'|')
                out += arg;
            else
                out += *p;
        }
        return out;
    }
    return jet_error::text_of(number, arg);
}

jet_sql_error::jet_sql_error(int32_t num, std::u16string_view arg) : jet_error(num, arg)
{
    description = text_of(num, arg);
    message = tk_to_ansi(description);
}

jet_sql_error::~jet_sql_error() = default;

jet_sql_error jet_sql_error::expression(std::u16string_view what, std::u16string_view expr)
{
    std::u16string text(what);
    text += u" in query expression '";
    text += expr;
    text += u"'.";
    return jet_sql_error(jet_err_query_expression, text);
}
