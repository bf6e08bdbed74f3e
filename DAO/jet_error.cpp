#include "jet_error.h"

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

struct text_row {
    int32_t number;
    const char16_t* text;
};

// ACE wording (Access 2010 and later, also used for .mdb files).
const text_row k_texts[] = {
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
    {3151, u"ODBC--connection to '|' failed."},
    {3078, u"The Microsoft Access database engine cannot find the input table or query '|'. Make sure "
           u"it exists and that its name is spelled correctly."},
    {3129, u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {3173, u"Could not open table 'MSysAccounts' in the workgroup information file."},
    {3219, u"Invalid operation."},
    {3251, u"Operation is not supported for this type of object."},
    {3265, u"Item not found in this collection."},
    {3270, u"Property not found."},
    {3343, u"Unrecognized database format '|'."},
    {3358, u"Cannot open the Microsoft Jet engine workgroup information file."},
    {3420, u"Object is invalid or no longer set."},
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
    return fill(u"Reserved error (|); there is no message for this error.", tk_widen_ascii(std::to_string(number)));
}

jet_error::jet_error(int32_t num, std::u16string_view arg)
    : tk_exception(0), number(num), description(text_of(num, arg))
{
    message = tk_to_ansi(description);
    code = 0x10000u + static_cast<uint32_t>(num);
    tk_trace(1, u"jet_error(%d): %s", num, description);
    t_current.assign(1, jet_error_entry{number, description});
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
