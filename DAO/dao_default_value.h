// The DefaultValue text of an Access column turned into the neutral
// default: the expression marks Access stores ("=", quotes, "#...#")
// removed, then the text read as the column's kind.
#pragma once

#include <cstdint>
#include <string>

#include "ole_variant.h"

struct dao_default_value {
    // A table column: "=" and one pair of quotes after it, "#" around a
    // date, quotes around a text; a text longer than the column (`size`
    // characters, 0 for no limit) is dropped with a level-3 trace naming
    // the field by its 0-based `index`. `extra` becomes 1 for a date
    // column that has a default.
    static std::u16string clean_table(std::u16string_view text, int16_t dao_type, int32_t size, int index,
                                      uint32_t& extra);
    // A query column: only the "#" and quote rules; `extra` becomes 1 for
    // every date column.
    static std::u16string clean_query(std::u16string_view text, int16_t dao_type, uint32_t& extra);
    // The cleaned text read as `vt`; empty, or a text that is no value of
    // the kind (Now(), GenGUID()), gives VT_EMPTY.
    static ole_variant make(const std::u16string& text, ole_vartype vt);
};
