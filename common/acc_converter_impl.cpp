#include "acc_converter_impl.h"

#include <cstdlib>

#include "dao_engine.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_database.h"
#include "udb_profile.h"

namespace {

void read_text(const udb_profile& p, const std::u16string& key, std::u16string& setting)
{
    std::u16string value = p.get_value(udb_profile::k_access, key);
    if (!value.empty()) setting = value;
}

}  // namespace

acc_converter_impl::acc_converter_impl() = default;
acc_converter_impl::~acc_converter_impl() = default;

void acc_converter_impl::store_ugl_settings(const std::u16string& sysdb, const std::u16string& user,
                                            const std::u16string& password)
{
    tk_trace(2, "acc_converter_impl::store_ugl_settings(%s,%s,%s)", sysdb, user, "***");
    sysdb_path = tk_trim(sysdb);
    ugl_user = tk_trim(user);
    ugl_pswd = tk_trim(password);
}

std::unique_ptr<dao_engine> acc_converter_impl::open_engine(bool always_pass_ugl) const
{
    auto engine = std::make_unique<dao_engine>(true, false);
    engine->choose_generation();
    if (jet3_codepage != 0) engine->set_jet3_codepage(jet3_codepage);
    if (always_pass_ugl || uses_ugl()) {
        engine->set_ugl_info(sysdb_path, ugl_user, ugl_pswd);
    } else {
        tk_trace(2, "UGL info NOT found");
        engine->set_anonymous_sys_db();
    }
    return engine;
}

void acc_converter_impl::check_acc_base(const std::u16string& src, const std::u16string& password)
{
    tk_trace(2, "acc_converter_impl::check_acc_base");
    if (src.empty()) throw tk_mail_assertion("acc_conv", 19);
    std::unique_ptr<dao_engine> engine = open_engine(false);
    std::unique_ptr<udb_database> db = engine->open_db(src, 97, password);
    db.reset();  // the database goes before its engine
}

bool acc_converter_impl::load_profile(const udb_profile& profile)
{
    read_text(profile, u"workgroup user", ugl_user);
    read_text(profile, u"workgroup password", ugl_pswd);
    read_text(profile, u"workgroup file", sysdb_path);
    read_text(profile, u"database password", acc_pswd);
    std::u16string cp = tk_trim(profile.get_value(udb_profile::k_access, u"jet3 code page"));
    if (!cp.empty()) {
        std::string digits = tk_to_ansi(cp);
        char* end = nullptr;
        long value = std::strtol(digits.c_str(), &end, 10);
        if (*end != '\0' || value < 0 || value > 65535) throw tk_exception("Invalid Jet3 code page: " + digits, 1);
        jet3_codepage = static_cast<int>(value);
    }
    return true;
}

bool acc_converter_impl::store_profile(udb_profile& profile) const
{
    const std::u16string a = udb_profile::k_access;
    profile.set_value(a, u"workgroup file", sysdb_path);
    profile.set_value(a, u"workgroup user", ugl_user);
    profile.set_value(a, u"workgroup password", ugl_pswd);
    profile.set_value(a, u"database password", acc_pswd);
    if (jet3_codepage != 0) profile.set_value(a, u"jet3 code page", tk_widen_ascii(std::to_string(jet3_codepage)));
    return true;
}
