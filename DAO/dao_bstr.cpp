#include "dao_bstr.h"

#include "tk_logger.h"
#include "tk_wstring.h"

dao_bstr::dao_bstr(std::string_view text) : text_(tk_from_ansi(text))
{
    tk_trace(1, "dao_bstr::ctor( string=%s )", text);
}

dao_bstr::dao_bstr(std::u16string_view text) : text_(text)
{
    tk_trace(1, u"dao_bstr::ctor( wstring=%s )", text);
}

dao_bstr::operator const std::u16string&() const
{
    tk_trace(1, "dao_bstr::operator BSTR");
    return text_;
}
