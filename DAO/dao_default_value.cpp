#include "dao_default_value.h"

#include "jet_dao_types.h"
#include "tk_exception.h"
#include "tk_logger.h"

namespace {

bool is_date(int16_t dao_type)
{
    return dao_type == jet_dao_date || dao_type == jet_dao_date_time_extended;
}

bool is_text(int16_t dao_type)
{
    return dao_type == jet_dao_text || dao_type == jet_dao_memo;
}

// Drops a first and last `mark` when the text is longer than one
// character and both ends carry it.
bool strip_pair(std::u16string& text, char16_t mark)
{
    if (text.size() < 2 || text.front() != mark || text.back() != mark) return false;
    text = text.substr(1, text.size() - 2);
    return true;
}

// The "#" rule of a date column and the quote rule of a text column.
void strip_marks(std::u16string& text, int16_t dao_type, bool after_equals, uint32_t& extra)
{
    if (is_date(dao_type)) {
        tk_trace(1, "Got date/time def.value");
        strip_pair(text, u'#');
        extra = 1;
    } else if (!after_equals && is_text(dao_type)) {
        tk_trace(1, "Got string def.value");
        strip_pair(text, u'"');
    }
}

}  // namespace

std::u16string dao_default_value::clean_table(std::u16string_view text_in, int16_t dao_type, int32_t size, int index,
                                              uint32_t& extra)
{
    std::u16string text(text_in);
    bool after_equals = false;
    if (!text.empty() && text.front() == u'=') {
        tk_trace(1, u"Got def.value of form ='...'");
        text.erase(0, 1);
        if (!strip_pair(text, u'"')) strip_pair(text, u'\'');
        tk_trace(1, u"After all processing: %s", text);
        after_equals = true;
    }
    // A date column without a default keeps the extra word 0.
    if (!text_in.empty()) strip_marks(text, dao_type, after_equals, extra);
    if (size != 0 && dao_type == jet_dao_text && text.size() > static_cast<size_t>(size)) {
        tk_trace(3, u"Skip incorrect default value [%s] for field #%d", text, index);
        text.clear();
    }
    return text;
}

std::u16string dao_default_value::clean_query(std::u16string_view text_in, int16_t dao_type, uint32_t& extra)
{
    std::u16string text(text_in);
    strip_marks(text, dao_type, false, extra);
    return text;
}

ole_variant dao_default_value::make(const std::u16string& text, ole_vartype vt)
{
    ole_variant value;
    if (text.empty()) return value;
    try {
        value.from_wstring(text, vt);
    } catch (const tk_exception&) {
        // A default Access computes (an expression) has no value of its own.
        tk_trace(1, u"Default value '%s' is no value of kind %d", text, vt);
        value.clear();
    }
    return value;
}
