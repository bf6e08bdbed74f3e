#include "tk_error_converter.h"

#include "tk_exception.h"
#include "tk_logger.h"

tk_error_converter::tk_error_converter(int count, const tk_error_row* table)
{
    tk_trace(2, "tk_error_converter::ctor (map size=%d)", count);
    load_map(count, table);
}

void tk_error_converter::load_map(int count, const tk_error_row* table)
{
    tk_trace(2, "tk_error_converter::load_map (map size=%d)", count);
    TK_ASSERT(table != nullptr);
    for (int i = 0; i < count; ++i) {
        // try_emplace leaves an existing entry alone: the first text wins.
        map_.try_emplace(table[i].code, table[i].text ? table[i].text : "");
    }
}

std::string tk_error_converter::convert(uint32_t code) const
{
    tk_trace(2, "tk_error_converter::convert(%d)", code);
    auto it = map_.find(code);
    if (it == map_.end()) {
        tk_trace(1, "Error message not found!");
        return std::string();
    }
    tk_trace(1, "Error message has been found: %s", it->second);
    return it->second;
}
