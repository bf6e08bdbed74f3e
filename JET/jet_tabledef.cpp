#include "jet_tabledef.h"

#include "jet_database.h"
#include "jet_error.h"
#include "jet_table_reader.h"
#include "tk_logger.h"

jet_tabledef::jet_tabledef(jet_database& db, const jet_catalog_entry& entry) : db_(&db), entry_(entry) {}

jet_tabledef::~jet_tabledef() = default;
jet_tabledef::jet_tabledef(jet_tabledef&&) noexcept = default;
jet_tabledef& jet_tabledef::operator=(jet_tabledef&&) noexcept = default;

std::unique_ptr<jet_table_reader> jet_tabledef::open_reader() const
{
    MdbCatalogEntry* e = db_->catalog().mdb_entry(entry_);
    if (e == nullptr) throw jet_error(jet_err_input_table_not_found, entry_.name);
    return std::make_unique<jet_table_reader>(db_->file(), e, entry_.properties.get());
}

jet_table_reader& jet_tabledef::reader()
{
    if (!reader_) reader_ = open_reader();
    return *reader_;
}

int32_t jet_tabledef::record_count()
{
    if (entry_.type != 1) return -1;
    jet_table_reader& r = reader();
    uint32_t stored = r.stored_row_count();
    if (stored != 0) return static_cast<int32_t>(stored);
    // A file closed improperly may store 0 for a table with rows.
    uint32_t n = 0;
    std::vector<jet_value> row;
    r.rewind();
    while (r.next(row)) ++n;
    r.rewind();
    if (n != 0) tk_trace(3, u"Table '%s' stores a row count of 0 but has %d rows", entry_.name, n);
    return static_cast<int32_t>(n);
}

std::vector<jet_field> jet_tabledef::fields()
{
    std::vector<jet_field> out;
    if (entry_.type != 1) return out;
    for (const jet_column& c : reader().columns()) out.emplace_back(c);
    return out;
}

std::vector<jet_index> jet_tabledef::indexes()
{
    if (entry_.type != 1) return {};
    return jet_read_indexes(reader().table(), entry_.name, db_->catalog().relationships());
}

std::vector<std::u16string> jet_tabledef::skipped_columns()
{
    if (entry_.type != 1) return {};
    return reader().skipped();
}
