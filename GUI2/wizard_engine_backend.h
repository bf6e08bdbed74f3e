// The program's backend: the MS Access side through our DAO layer; the
// Oracle connection and the conversion run through the converter.
#pragma once

#include <memory>

#include "wizard_backend.h"

class udb_database;

class wizard_engine_backend : public wizard_backend {
public:
    void connect_oracle_server(const std::u16string& dest) override;
    bool connected() const override { return false; }
    void disconnect() override {}
    void check_acc_base() override;
    std::vector<std::u16string> get_all_tables() override;
    bool test_query(const std::u16string& text) override;
    bool is_workgroup_file(const std::u16string& path) override;
    void load_profile(const std::u16string& path) override;
    bool store_profile(const std::u16string& path) override;
    void run() override;
};
