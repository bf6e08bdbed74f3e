// The MS Access engine: chooses the generation of the Access component,
// sets up workgroup security or the temporary system database, and opens
// Access databases as dao_database objects.
//
// One engine exists at a time (a singleton). Order of use: construct;
// set_version_if until it succeeds (callers try 3, 0, 1); set_ugl_info or
// set_anonymous_sys_db; then any number of open_db. Databases must be
// destroyed before the engine.
#pragma once

#include <memory>
#include <string>

#include "dao_generator.h"
#include "jet_dbengine.h"
#include "jet_workgroup.h"  // jet_dbengine's inline constructor needs it complete
#include "ole_com_ptr.h"
#include "tk_singleton.h"
#include "udb_engine.h"

class dao_database;

class dao_engine : public udb_engine, public tk_singleton<dao_engine> {
public:
    // The text of the level-1 failure when no generation loads.
    static const char* const k_load_failure;

    // `uninitialize`: release the engine object on destruction (callers
    // always set it); `com_by_caller`: the caller set up the thread's COM
    // apartment (callers never do; nothing to set up on this platform).
    dao_engine(bool uninitialize = true, bool com_by_caller = false);
    ~dao_engine() override;

    std::unique_ptr<udb_database> create_db(const std::u16string& path);
    std::unique_ptr<udb_database> open_db(const std::u16string& path, int mode,
                                          const std::u16string& password) override;

    // Chooses generation `key` (0 to 3); false when it cannot be created.
    bool set_version_if(int key);
    // SystemDB and a workspace for `user`; nothing when the file or the
    // user is empty. A DAO failure raises dao_exception (3028, 3358, 3029).
    void set_ugl_info(const std::u16string& file, const std::u16string& user, const std::u16string& password);
    // Writes the temporary workgroup file and makes it the SystemDB; any
    // failure is traced and the engine goes on without it.
    void set_anonymous_sys_db();

    // The chosen generation's engine object, null while none is chosen.
    jet_dbengine* dbengine() const { return dbengine_.get(); }
    int version_key() const { return key_; }
    const dao_generator& generator() const { return generator_; }

    // Tries 3, 0, 1 on a fresh engine; a level-1 tk_exception with
    // k_load_failure when none loads.
    void choose_generation();

    // The code page of Access 97 (Jet3) text and names for the databases
    // opened from now on, before or after the generation is chosen; 0 (the
    // default) takes each file's from its header. A code page the system
    // cannot convert raises dao_exception (DAO 3001, the text naming it)
    // and leaves the setting as it was.
    void set_jet3_codepage(int codepage);
    int get_jet3_codepage() const { return jet3_codepage_; }

private:
    void release_engine();

    ole_com_ptr<jet_dbengine> dbengine_;
    ole_com_ptr<jet_workspace> workspace_;
    int key_ = 4;  // 4: none chosen
    int jet3_codepage_ = 0;
    dao_generator generator_;
    bool uninitialize_;
    bool com_by_caller_;
};
