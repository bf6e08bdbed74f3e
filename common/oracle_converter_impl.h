// The Oracle half of the converter: the logon settings and the open
// connection, which the converter owns from connect_oracle_server until it
// is destroyed or connects again.
#pragma once

#include <memory>
#include <string>

#include "ora_database.h"
#include "ora_engine.h"

class udb_database;
class udb_profile;

class oracle_converter_impl {
public:
    oracle_converter_impl();
    virtual ~oracle_converter_impl();

    // Copies the four values; an empty host becomes "localhost".
    void store_oracle_settings(const std::u16string& host, const std::u16string& user, const std::u16string& password,
                               const std::u16string& port);
    // Closes the current connection, then logs on to `service` with the
    // stored settings. Failures are the target's exceptions and leave no
    // connection.
    void connect_oracle_server(const std::u16string& service);

    // Drops a table of the open schema.
    void drop_table(const std::u16string& name);
    // Makes the session's work so far permanent.
    void commit();
    // Commits and logs off; for the paths that end the process. Never raises.
    void close_connection() noexcept;

    bool load_profile(const udb_profile& profile);
    bool store_profile(udb_profile& profile) const;

    // The open schema, null before a connection.
    ora_database* database() const { return connection_.get(); }
    ora_engine& engine() { return engine_; }
    // Whether the open schema makes its names upper case; false without one.
    bool database_uppercase() const;
    void set_database_uppercase(bool on);

    std::u16string user;
    std::u16string password;
    std::u16string host;
    std::u16string port;

private:
    // The engine outlives the connection it opened (members go in reverse).
    ora_engine engine_;
    std::unique_ptr<ora_database> connection_;
};
