#include "jet_error.h"

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

struct text_row {
    int32_t number;
    const char16_t* text;
};

// ACE wording (Access 2010 and later, also used for .mdb files), sorted by
// number. The query engine raises the query-compiling numbers (3061 to
// 3464) and, from Access's functions, the VBA run-time errors below 3000.
const text_row k_texts[] = {
    {5, u"Invalid procedure call or argument"},
    {6, u"Overflow"},
    {11, u"Division by zero"},
    {13, u"Type mismatch"},
    {94, u"Invalid use of Null"},
    {3000, u"Reserved error (|); there is no message for this error."},
    {3001, u"Invalid argument."},
    {3011, u"The Microsoft Access database engine could not find the object '|'. Make sure the object "
           u"exists and that you spell its name and the path name correctly. If '|' is not a local "
           u"object, check your network connection or contact the server administrator."},
    {3021, u"No current record."},
    {3024, u"Could not find file '|'."},
    {3028, u"Cannot start your application. The workgroup information file is missing or opened "
           u"exclusively by another user."},
    {3029, u"Not a valid account name or password."},
    {3031, u"Not a valid password."},
    {3043, u"Disk or network error."},
    {3051, u"The Microsoft Access database engine cannot open the file '|'. It's already opened "
           u"exclusively by another user, or you need permission to view its data."},
    {3055, u"Not a valid file name."},
    {3061, u"Too few parameters. Expected |."},
    {3070, u"The Microsoft Access database engine does not recognize '|' as a valid field name or expression."},
    {3071, u"This expression is typed incorrectly, or it is too complex to be evaluated. For example, a numeric "
           u"expression may contain too many complicated elements. Try simplifying the expression by assigning "
           u"parts of the expression to variables."},
    // The caller builds the whole text: "<what> in query expression '<expression>'."
    {3075, u"|"},
    {3078, u"The Microsoft Access database engine cannot find the input table or query '|'. Make sure "
           u"it exists and that its name is spelled correctly."},
    {3079, u"The specified field '|' could refer to more than one table listed in the FROM clause of your SQL "
           u"statement."},
    {3085, u"Undefined function '|' in expression."},
    {3122, u"Your query does not include the specified expression '|' as part of an aggregate function."},
    {3129, u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {3131, u"Syntax error in FROM clause."},
    {3138, u"Syntax error in ORDER BY clause."},
    {3141, u"The SELECT statement includes a reserved word or an argument name that is misspelled or missing, or "
           u"the punctuation is incorrect."},
    {3142, u"Characters found after end of SQL statement."},
    {3145, u"Syntax error in WHERE clause."},
    {3151, u"ODBC--connection to '|' failed."},
    {3173, u"Could not open table 'MSysAccounts' in the workgroup information file."},
    {3219, u"Invalid operation."},
    {3251, u"Operation is not supported for this type of object."},
    {3265, u"Item not found in this collection."},
    {3270, u"Property not found."},
    {3306, u"You have written a subquery that can return more than one field without using the EXISTS reserved "
           u"word in the main query's FROM clause. Revise the SELECT statement of the subquery to request only "
           u"one field."},
    {3307, u"The number of columns in the two selected tables or queries of a union query don't match."},
    {3343, u"Unrecognized database format '|'."},
    {3358, u"Cannot open the Microsoft Jet engine workgroup information file."},
    {3420, u"Object is invalid or no longer set."},
    {3464, u"Data type mismatch in criteria expression."},
};

thread_local std::vector<jet_error_entry> t_current;

std::u16string fill(std::u16string_view templ, std::u16string_view arg)
{
    std::u16string out;
    out.reserve(templ.size() + arg.size());
    for (char16_t c : templ) {
        if (c == u'|')
            out += arg;
        else
            out += c;
    }
    return out;
}

}  // namespace

std::u16string jet_error::text_of(int32_t number, std::u16string_view arg)
{
    for (const text_row& row : k_texts)
        if (row.number == number) return fill(row.text, arg);
    return text_of(jet_err_reserved, tk_widen_ascii(std::to_string(number)));
}

jet_error::jet_error(int32_t num, std::u16string_view arg)
    : tk_exception(0), number(num), description(text_of(num, arg))
{
    message = tk_to_ansi(description);
    code = 0x10000u + static_cast<uint32_t>(num);
    tk_trace(1, u"jet_error(%d): %s", num, description);
    t_current.assign(1, jet_error_entry{number, description});
}

jet_error jet_error::with_text(int32_t number, std::u16string text)
{
    jet_error e(number);
    e.description = std::move(text);
    e.message = tk_to_ansi(e.description);
    t_current.assign(1, jet_error_entry{number, e.description});
    return e;
}

jet_error::~jet_error() = default;

const std::vector<jet_error_entry>& jet_error::current()
{
    return t_current;
}

void jet_error::clear_current()
{
    t_current.clear();
}
