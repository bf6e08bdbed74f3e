#include "wizard_engine_backend.h"

#include "dao_check_sysdb.h"
#include "dao_engine.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_database.h"

namespace {

// The open modes of the MS Access source: a check, the table list.
constexpr int check_mode = 97;
constexpr int list_mode = 33;

// Opens the source with the settings' password and, when the security
// page's box is ticked and both file and user are given, the workgroup.
template <class F>
auto with_source(const wizard_settings& s, int mode, bool always_ugl, F&& use)
{
    dao_engine engine;
    engine.choose_generation();
    bool ugl = s.use_ugl && !s.sysdb_path.empty() && !s.ugl_user.empty();
    if (ugl || (always_ugl && s.use_ugl))
        engine.set_ugl_info(s.sysdb_path, s.ugl_user, s.ugl_pswd);
    else
        engine.set_anonymous_sys_db();
    std::unique_ptr<udb_database> db = engine.open_db(s.src, mode, s.acc_pswd);
    return use(*db);
}

tk_exception missing_converter()
{
    return tk_exception("This build of the wizard has no conversion engine: use tlvagent.", 1);
}

}  // namespace

void wizard_engine_backend::connect_oracle_server(const std::u16string&)
{
    throw missing_converter();
}

void wizard_engine_backend::check_acc_base()
{
    tk_trace(2, "acc_converter_impl::check_acc_base");
    TK_ASSERT(!settings().src.empty());
    with_source(settings(), check_mode, false, [](udb_database&) { return 0; });
}

std::vector<std::u16string> wizard_engine_backend::get_all_tables()
{
    tk_trace(2, "tolvane_convertor::get_all_tables");
    return with_source(settings(), list_mode, true, [](udb_database& db) { return db.table_names; });
}

bool wizard_engine_backend::test_query(const std::u16string& text)
{
    try {
        return with_source(settings(), check_mode, true, [&](udb_database& db) { return db.test_query(text); });
    } catch (const std::exception&) {
        return false;
    }
}

bool wizard_engine_backend::is_workgroup_file(const std::u16string& path)
{
    return dao_check_sysdb(path);
}

void wizard_engine_backend::load_profile(const std::u16string&)
{
    throw missing_converter();
}

bool wizard_engine_backend::store_profile(const std::u16string&)
{
    return false;
}

void wizard_engine_backend::run()
{
    outcome_ = run_outcome();
    outcome_.end = run_outcome::state::failed;
    outcome_.failure = missing_converter().message;
    counters_.finished.store(true);
}
