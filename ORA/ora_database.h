// An Oracle schema seen through the udb_database contract: the table list
// of the logged-on user, statements, table creation and foreign keys.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "udb_database.h"

class ora_table;

class ora_database : public udb_database {
public:
    // Reads the user's table list and what the server is (version, whether
    // its character set holds all of Unicode).
    explicit ora_database(const std::u16string& data_source);
    ~ora_database() override;

    std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    std::unique_ptr<udb_recordset> get_table(const std::u16string& name, int mode) override;
    std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& text, int mode) override;
    bool test_query(const std::u16string& text) override;
    void query(const std::u16string& text) override;
    void create_relationships(const udb_relationships& relationships) override;

    // Drops the table (its constraints and the sequence made for it too)
    // and removes it from the table list.
    void delete_tab(const std::u16string& name) override;

    std::u16string get_tn_mapped_name_ex(const std::u16string& name) const;
    std::u16string get_fn_mapped_name_ex(const std::u16string& table, const std::u16string& field) const;
    // Gives the columns (source names, mapped here) a unique key unless a
    // unique index already starts with them.
    void create_fk_index_if(const std::u16string& table, const udb_name_list& columns);

    // The sequence that feeds the AutoNumber column of a table made here,
    // with that column; empty when none.
    struct sequence_info {
        std::u16string sequence;
        std::u16string column;
    };
    sequence_info sequence_of(const std::u16string& table) const;
    void set_sequence(const std::u16string& table, const std::u16string& sequence, const std::u16string& column);
    // Moves the sequence of a table past the largest value of its column, so
    // an application's first insert after loading does not collide.
    void continue_sequence(const std::u16string& table);

    // Runs a CREATE TRIGGER: a trigger that compiles with errors (the
    // server answers with ORA-24344 as a warning) is dropped again and
    // raised as an ora_exception.
    void run_ddl_checked(const std::u16string& text, const std::u16string& trigger);

    // Whether memo columns are NCLOB: the database character set cannot
    // hold every character.
    bool national_lobs() const { return national_lobs_; }
    uint32_t version() const { return version_; }

    bool uppercase = false;

private:
    void load_table_names();
    std::u16string own_sequence_on_server(const std::u16string& table);
    void read_character_set();

    uint32_t version_ = 0;
    bool national_lobs_ = false;
    std::map<std::u16string, sequence_info, std::less<>> sequences_;
};
