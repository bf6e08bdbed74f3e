#include "jet_dbengine.h"

#include "jet_database.h"
#include "jet_workgroup.h"
#include "tk_logger.h"
#include "tk_wstring.h"

std::unique_ptr<jet_dbengine> jet_dbengine::create(int generation)
{
    tk_trace(2, "jet_dbengine::create(%d)", generation);
    if (generation != 3) return nullptr;
    return std::unique_ptr<jet_dbengine>(new jet_dbengine(generation));
}

jet_dbengine::jet_dbengine(int generation) : generation_(generation) {}

jet_dbengine::~jet_dbengine() = default;

void jet_dbengine::set_system_db(const std::u16string& path)
{
    tk_trace(2, u"jet_dbengine::set_system_db(%s)", path);
    workgroup_ = std::make_unique<jet_workgroup>(path);
    system_db_ = path;
}

std::unique_ptr<jet_workspace> jet_dbengine::create_workspace(const std::u16string& name, const std::u16string& user,
                                                              const std::u16string& password)
{
    tk_trace(2, u"jet_dbengine::create_workspace(%s, %s)", name, user);
    if (workgroup_) {
        workgroup_->logon(user, password);
    } else if (!tk_equal_nocase(user, u"Admin") || !password.empty()) {
        throw jet_error(jet_err_invalid_logon);
    }
    return std::make_unique<jet_workspace>(name, user);
}

std::u16string jet_dbengine::password_of(std::u16string_view connect)
{
    // Parts are separated by ';'; the first may name the database type.
    size_t pos = 0;
    while (pos <= connect.size()) {
        size_t end = connect.find(u';', pos);
        std::u16string_view part = connect.substr(pos, end == std::u16string_view::npos ? connect.npos : end - pos);
        if (part.size() >= 4 && tk_equal_nocase(part.substr(0, 4), u"PWD=")) return std::u16string(part.substr(4));
        if (end == std::u16string_view::npos) break;
        pos = end + 1;
    }
    return {};
}

std::unique_ptr<jet_database> jet_dbengine::open_database(const std::u16string& path, bool exclusive, bool read_only,
                                                          std::u16string_view connect)
{
    tk_trace(2, u"jet_dbengine::open_database(%s, exclusive=%d, read_only=%d)", path, exclusive ? 1 : 0,
             read_only ? 1 : 0);
    jet_error::clear_current();
    return std::make_unique<jet_database>(path, password_of(connect), exclusive, read_only, jet3_code_page_);
}

void jet_dbengine::set_jet3_code_page(int code_page)
{
    tk_trace(2, "jet_dbengine::set_jet3_code_page(%d)", code_page);
    jet_error::clear_current();
    jet_file::check_code_page(code_page);
    jet3_code_page_ = code_page;
}

std::unique_ptr<jet_database> jet_dbengine::create_database(const std::u16string& path, std::u16string_view locale)
{
    tk_trace(2, u"jet_dbengine::create_database(%s, %s)", path, locale);
    throw jet_error(jet_err_not_supported);
}
