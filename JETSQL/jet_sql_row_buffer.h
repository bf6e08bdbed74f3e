// One source row held in the engine's conventions (Booleans -1/0, Currency
// text read as a number, Decimal as exact decimal text whatever form it
// arrives in, Date/Time Extended as jet_sql_ticks_encode's integer, text
// UTF-8), filled by a source cursor and read back by the
// loader or by the streaming scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet_sql_source.h"

struct sqlite3_context;
struct sqlite3_stmt;

class jet_sql_row_buffer final : public jet_sql_row_sink {
public:
    explicit jet_sql_row_buffer(const std::vector<jet_sql_column>& columns);

    void put_null(size_t c) override;
    void put_int(size_t c, int64_t v) override;
    void put_double(size_t c, double v) override;
    void put_text(size_t c, std::u16string_view v) override;
    void put_utf8(size_t c, std::string_view v) override;
    void put_blob(size_t c, const uint8_t* bytes, size_t length) override;
    void put_date_ticks(size_t c, double date, uint32_t ticks) override;

    // Column c as parameter `slot` of `stmt`, or as a function result.
    void bind(sqlite3_stmt* stmt, size_t c, int slot) const;
    void result(sqlite3_context* ctx, size_t c) const;
    size_t size() const { return cells_.size(); }

private:
    enum class kind : uint8_t { null, integer, real, text, blob };
    struct cell {
        kind k = kind::null;
        int64_t i = 0;
        double d = 0;
        std::string bytes;  // text (UTF-8) or blob
    };

    cell& at(size_t c);
    bool numeric(size_t c) const;

    const std::vector<jet_sql_column>& columns_;
    std::vector<cell> cells_;
};
