#include "jet_sql_session.h"

#include "jet_database.h"
#include "jet_sql_row_source.h"
#include "tk_logger.h"

jet_sql_session::jet_sql_session(jet_database& db) : source_(db.file(), db.catalog()), engine_(source_)
{
    tk_trace(2, u"jet_sql_session::jet_sql_session(%s)", db.name());
}

jet_sql_session::~jet_sql_session() = default;

std::unique_ptr<jet_row_source> jet_sql_session::open(std::u16string_view sql)
{
    return std::make_unique<jet_sql_row_source>(engine_, std::u16string(sql));
}

void jet_sql_session::test(std::u16string_view sql)
{
    engine_.test(sql);
}

std::vector<jet_column> jet_sql_session::describe(std::u16string_view sql)
{
    std::vector<jet_column> out;
    for (const jet_sql_result_column& c : engine_.test(sql).columns) out.push_back(jet_sql_row_source::column_of(c));
    return out;
}
