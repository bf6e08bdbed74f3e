#include "dao_engine.h"

#include "dao_database.h"
#include "dao_exception.h"
#include "jet_database.h"
#include "jet_workgroup.h"
#include "tk_logger.h"
#include "tk_wstring.h"

const char* const dao_engine::k_load_failure =
    "Failed to load Data Access Objects (DAO) support library.\nMicrosoft Access installation is required to "
    "proceed with\nthe application.\n";

namespace {

// The generations in the order of the engine table; key 2 is never asked for.
bool known_key(int key)
{
    return key >= 0 && key <= 3;
}

}  // namespace

dao_engine::dao_engine(bool uninitialize, bool com_by_caller)
    : uninitialize_(uninitialize), com_by_caller_(com_by_caller)
{
    tk_trace(2, "dao_engine::ctor");
    // The component needs no per-thread runtime: there is no COM apartment
    // to enter, whatever com_by_caller says.
}

dao_engine::~dao_engine()
{
    tk_trace(2, "dao_engine::dtor");
    if (uninitialize_ && key_ != 4) {
        tk_trace(2, "dao_engine::uninitialize");
        release_engine();
    }
    workspace_.release();
    // The generator's destructor deletes the temporary workgroup file.
}

void dao_engine::release_engine()
{
    dbengine_.release();
    key_ = 4;
}

bool dao_engine::set_version_if(int key)
{
    tk_trace(2, "dao_engine::set_version_if(%d)", key);
    if (key_ != 4) release_engine();
    TK_ASSERT(known_key(key));
    std::unique_ptr<jet_dbengine> engine = jet_dbengine::create(key);
    if (!engine) {
        tk_trace(2, "Failed to create ClassFactory");
        return false;
    }
    engine->set_jet3_code_page(jet3_codepage_);  // checked when it was set
    dbengine_.reset(std::move(engine));
    key_ = key;
    return true;
}

void dao_engine::set_jet3_codepage(int codepage)
{
    tk_trace(2, "dao_engine::set_jet3_codepage(%d)", codepage);
    try {
        if (dbengine_)
            dbengine_->set_jet3_code_page(codepage);
        else
            jet_file::check_code_page(codepage);
    } catch (const jet_error& e) {
        throw dao_exception(e);
    }
    jet3_codepage_ = codepage;
}

void dao_engine::choose_generation()
{
    for (int key : {3, 0, 1})
        if (set_version_if(key)) return;
    throw tk_exception(k_load_failure, 1);
}

void dao_engine::set_ugl_info(const std::u16string& file, const std::u16string& user, const std::u16string& password)
{
    // The password never reaches the trace.
    tk_trace(2, u"dao_engine::set_ugl_info(%s,%s)", file, user);
    TK_ASSERT(!workspace_);
    if (file.empty() || user.empty()) return;
    TK_ASSERT(dbengine_);
    dao_invoke([&] { dbengine_->set_system_db(file); });
    std::unique_ptr<jet_workspace> ws =
        dao_invoke([&] { return dbengine_->create_workspace(u"New Workspace", user, password); });
    if (!ws) dao_raise_unknown();
    workspace_.reset(std::move(ws));
}

void dao_engine::set_anonymous_sys_db()
{
    tk_trace(2, "dao_engine::set_anonymous_sys_db");
    TK_ASSERT(dbengine_);
    try {
        // One image serves every generation: the empty workgroup file the
        // component accepts, holding only the default account Admin.
        std::vector<uint8_t> image = jet_workgroup::builtin_image();
        generator_.do_generate(image.size(), image.data());
        dao_invoke([&] { dbengine_->set_system_db(tk_from_ansi(generator_.path())); });
    } catch (const tk_exception& e) {
        tk_trace(2, "Error: %s", e.message);
    }
}

std::unique_ptr<udb_database> dao_engine::open_db(const std::u16string& path, int mode, const std::u16string& password)
{
    tk_trace(2, u"dao_engine::open_db(%s, mode=%d)", path, mode);
    TK_ASSERT(key_ != 4 && dbengine_);
    TK_ASSERT(!path.empty());
    const bool exclusive = (mode & 16) != 0;
    const bool read_only = (mode & 1) != 0;
    const std::u16string connect = password.empty() ? std::u16string() : u";pwd=" + password;
    tk_trace(2, "Open database using DAO engine");
    std::unique_ptr<jet_database> db =
        dao_invoke([&] { return dbengine_->open_database(path, exclusive, read_only, connect); });
    if (!db) dao_raise_unknown();
    tk_trace(2, "Right after OpenDatabase call");
    return std::make_unique<dao_database>(path, std::move(db), mode);
}

std::unique_ptr<udb_database> dao_engine::create_db(const std::u16string& path)
{
    tk_trace(2, u"dao_engine::create_db (%s)", path);
    tk_trace(3, u"Creating MS Access database '%s'", path);
    TK_ASSERT(key_ != 4 && dbengine_);
    std::unique_ptr<jet_database> db;
    try {
        db = dbengine_->create_database(path, u";LANGID=0x0409;CP=1252;COUNTRY=0");
        tk_trace(2, "CreateDatabase returns %08X", 0);
    } catch (const jet_error& e) {
        const uint32_t hr = 0x800A0000u | static_cast<uint32_t>(e.number);
        tk_trace(2, "CreateDatabase returns %08X", hr);
        if (hr == 0x800A0E31u) {
            const char* product = key_ == 0 ? "Microsoft Access 2000" : "Microsoft Access 95/97";
            throw tk_exception(tk_format("Failed to load Data Access Objects (DAO) support library.\n%s "
                                         "installation is required to proceed\nwith the application.\n",
                                         product),
                               1);
        }
        throw dao_exception();
    }
    if (!db) dao_raise_unknown();
    return std::make_unique<dao_database>(path, std::move(db), 114);
}
