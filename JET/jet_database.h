// A DAO Database: one open Access file with its catalogue.
//
// close() (and the destructor) first closes every Recordset still open on
// the database, so that none reads the file after it is gone; those
// Recordsets and the QueryDefs made here then raise 3420 on use and may
// be destroyed in any order. TableDefs still refer to the database and
// must not outlive it. After close() the database may only be destroyed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_catalog.h"
#include "jet_file.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"

class jet_querydef;
class jet_sql_session;

class jet_database {
public:
    // Opens the file (see jet_file for the errors) and reads its catalogue.
    // `jet3_code_page`: see jet_file.
    jet_database(const std::u16string& path, std::u16string_view password, bool exclusive, bool read_only,
                 int jet3_code_page = 0);
    ~jet_database();
    jet_database(const jet_database&) = delete;
    jet_database& operator=(const jet_database&) = delete;

    const std::u16string& name() const;
    bool read_only() const { return read_only_; }
    bool exclusive() const { return exclusive_; }

    // TableDefs in catalogue order, system and linked tables included.
    std::vector<jet_tabledef> tabledefs();
    // TableDefs(name); raises jet_error 3265 when there is none.
    jet_tabledef tabledef(std::u16string_view name);
    // A temporary QueryDef when `name` is empty.
    std::unique_ptr<jet_querydef> create_querydef(std::u16string_view name, std::u16string_view sql);
    void close();

    // Raise jet_error 3420 after close().
    jet_file& file();
    // The recordsets open on this database; a QueryDef registers the ones
    // it opens here.
    const std::shared_ptr<jet_open_recordsets>& open_recordsets() const { return open_; }
    const jet_catalog& catalog();
    // The query engine of this database, made on first use; it runs the
    // statements a QueryDef does not answer itself.
    jet_sql_session& sql();

private:
    void check_open() const;

    // First member: outlives the file, and is closed before it.
    std::shared_ptr<jet_open_recordsets> open_ = std::make_shared<jet_open_recordsets>();
    std::unique_ptr<jet_file> file_;
    std::unique_ptr<jet_catalog> catalog_;
    // Reads through file_ and catalog_: declared after them, so destroyed
    // before them, and closed first by close().
    std::unique_ptr<jet_sql_session> sql_;
    std::u16string name_;
    bool exclusive_;
    bool read_only_;
};
