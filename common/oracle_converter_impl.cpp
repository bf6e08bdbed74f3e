#include "oracle_converter_impl.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "udb_database.h"
#include "udb_profile.h"

namespace {

void read_text(const udb_profile& p, const std::u16string& key, std::u16string& setting)
{
    std::u16string value = p.get_value(udb_profile::k_oracle, key);
    if (!value.empty()) setting = value;
}

void write_text(udb_profile& p, const std::u16string& key, const std::u16string& value)
{
    if (!value.empty()) p.set_value(udb_profile::k_oracle, key, value);
}

}  // namespace

oracle_converter_impl::oracle_converter_impl()
{
    tk_trace(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl()
{
    tk_trace(2, "oracle_converter_impl::dtor");
    connection_.reset();
}

void oracle_converter_impl::store_oracle_settings(const std::u16string& h, const std::u16string& u,
                                                  const std::u16string& p, const std::u16string& pt)
{
    tk_trace(2, "oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", h, u, "***", pt);
    host = h.empty() ? std::u16string(u"localhost") : h;
    user = u;
    password = p;
    port = pt;
}

void oracle_converter_impl::connect_oracle_server(const std::u16string& service)
{
    tk_trace(2, "oracle_converter_impl::connect_oracle_server(%s)", service);
    connection_.reset();
    connection_ = engine_.open_db(host, user, password, port, service);
}

void oracle_converter_impl::drop_table(const std::u16string& name)
{
    TK_ASSERT(connection_ != nullptr);
    connection_->delete_tab(name);
}

void oracle_converter_impl::commit()
{
    if (connection_ && engine_.connected()) engine_.commit();
}

void oracle_converter_impl::close_connection() noexcept
{
    try {
        if (connection_) commit();
    } catch (...) {
        // Ending anyway: what could not be committed is lost with the session.
    }
    connection_.reset();
    engine_.logoff();
}

bool oracle_converter_impl::database_uppercase() const
{
    return connection_ && connection_->uppercase;
}

void oracle_converter_impl::set_database_uppercase(bool on)
{
    if (connection_) connection_->uppercase = on;
}

bool oracle_converter_impl::load_profile(const udb_profile& profile)
{
    tk_trace(1, "oracle_converter_impl::load_profile");
    read_text(profile, u"host", host);
    read_text(profile, u"password", password);
    read_text(profile, u"port", port);
    read_text(profile, u"user", user);
    return true;
}

bool oracle_converter_impl::store_profile(udb_profile& profile) const
{
    tk_trace(1, "oracle_converter_impl::store_profile");
    write_text(profile, u"host", host);
    write_text(profile, u"password", password);
    write_text(profile, u"port", port);
    write_text(profile, u"user", user);
    return true;
}
