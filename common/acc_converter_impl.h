// The MS Access half of the converter: how to open the source database
// (database password, user-level security) and the check that it opens.
#pragma once

#include <memory>
#include <string>

class dao_engine;
class udb_database;
class udb_profile;

class acc_converter_impl {
public:
    acc_converter_impl();
    ~acc_converter_impl();

    // Stores the three values, each trimmed of blanks at both ends.
    void store_ugl_settings(const std::u16string& sysdb, const std::u16string& user, const std::u16string& password);
    // Opens `src` once with the current settings and closes it again;
    // failures are the source's exceptions. An empty `src` is an internal
    // error.
    void check_acc_base(const std::u16string& src, const std::u16string& password);

    // User-level security applies exactly when both are given.
    bool uses_ugl() const { return !sysdb_path.empty() && !ugl_user.empty(); }

    // A fresh engine with a generation chosen and security set up: the
    // workgroup when uses_ugl(), else an anonymous system database.
    // `always_pass_ugl` hands the three values over even when empty (the
    // table list and the query test do so). Raises the level-1 DAO load
    // failure when no generation loads.
    std::unique_ptr<dao_engine> open_engine(bool always_pass_ugl) const;

    bool load_profile(const udb_profile& profile);
    bool store_profile(udb_profile& profile) const;

    std::u16string acc_pswd;
    std::u16string ugl_user;
    std::u16string ugl_pswd;
    std::u16string sysdb_path;
    // Code page of Jet3 (Access 97) text, 0 for the one the file names.
    int jet3_codepage = 0;
};
