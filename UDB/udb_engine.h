// An engine opens databases of one kind (the MS Access source).
#pragma once

#include <memory>
#include <string>

class udb_database;

class udb_engine {
public:
    virtual ~udb_engine() = 0;

    // Opens the database at `path`. Mode 1 is a conversion run, 33 lists
    // tables, 97 checks a database or tests a query.
    virtual std::unique_ptr<udb_database> open_db(const std::u16string& path, int mode,
                                                  const std::u16string& password) = 0;
    // Deletes the file; a failure raises tk_exception_ex with the system's
    // text for the error.
    virtual void remove_db_file(const std::u16string& path);
    // Whether the file can be opened for reading.
    virtual bool is_db_file_exist(const std::u16string& path);

protected:
    udb_engine() = default;
    udb_engine(const udb_engine&) = default;
    udb_engine& operator=(const udb_engine&) = default;
};
