// The DAO engine: generations, the workgroup (SystemDB), workspaces and
// opening databases.
//
// Generation 3 is this component and is always available; generations 0
// and 1 (the DAO 3.6 classes of Windows) cannot be created on this
// platform, which keeps the callers' preference order and failure paths.
// Errors are reported as jet_error and are readable afterwards through
// errors(), as DBEngine.Errors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet_error.h"

class jet_database;
class jet_workgroup;

class jet_workspace {
public:
    jet_workspace(std::u16string name, std::u16string user) : name_(std::move(name)), user_(std::move(user)) {}
    const std::u16string& name() const { return name_; }
    const std::u16string& user() const { return user_; }

private:
    std::u16string name_;
    std::u16string user_;
};

class jet_dbengine {
public:
    // The engine of a generation, or null when the generation cannot be
    // created here (any but 3).
    static std::unique_ptr<jet_dbengine> create(int generation);
    ~jet_dbengine();

    int generation() const { return generation_; }

    // DBEngine.SystemDB (put): raises jet_error 3028 for a missing file and
    // 3358 for a file that is not a workgroup file.
    void set_system_db(const std::u16string& path);
    const std::u16string& system_db() const { return system_db_; }

    // DBEngine.CreateWorkspace: raises jet_error 3029 when the account is
    // unknown or the password wrong. Without a SystemDB the default account
    // Admin with an empty password is the only one, as with DAO's default
    // workgroup.
    std::unique_ptr<jet_workspace> create_workspace(const std::u16string& name, const std::u16string& user,
                                                    const std::u16string& password);

    // DBEngine.OpenDatabase; `connect` may carry the database password as
    // ";PWD=secret" (also "MS Access;PWD=secret").
    std::unique_ptr<jet_database> open_database(const std::u16string& path, bool exclusive, bool read_only,
                                                std::u16string_view connect);

    // DBEngine.CreateDatabase: the component does not write Access files;
    // raises jet_error 3251.
    std::unique_ptr<jet_database> create_database(const std::u16string& path, std::u16string_view locale);

    // The code page of the text and names of Access 97 (Jet3) files opened
    // from now on; 0 (the default) reads each in the code page its header
    // names. Raises jet_error 3001 naming a code page the system cannot
    // convert, and keeps the previous setting then.
    void set_jet3_code_page(int code_page);
    int jet3_code_page() const { return jet3_code_page_; }

    // DBEngine.Errors: the errors of the last failed operation on this
    // thread, most recent first.
    const std::vector<jet_error_entry>& errors() const { return jet_error::current(); }

    // The password in a connect string (";PWD=..." without regard to the
    // key's case); empty when there is none.
    static std::u16string password_of(std::u16string_view connect);

private:
    explicit jet_dbengine(int generation);

    int generation_;
    int jet3_code_page_ = 0;
    std::u16string system_db_;
    std::unique_ptr<jet_workgroup> workgroup_;
};
