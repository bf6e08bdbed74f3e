// The program's backend: the wizard's settings handed to the converter
// before each of its operations, the converter's progress copied into the
// counters the window reads, and its report turned into the run's outcome.
#pragma once

#include "wizard_backend.h"

class tolvane_convertor;

class wizard_engine_backend : public wizard_backend {
public:
    // The converter outlives this backend.
    explicit wizard_engine_backend(tolvane_convertor& converter);

    void connect_oracle_server(const std::u16string& dest) override;
    bool connected() const override;
    void disconnect() override;
    void check_acc_base() override;
    std::vector<std::u16string> get_all_tables() override;
    bool test_query(const std::u16string& text) override;
    bool is_workgroup_file(const std::u16string& path) override;
    void load_profile(const std::u16string& path) override;
    bool store_profile(const std::u16string& path) override;
    void run() override;
    void request_stop() override;

    // The converter's fields from the settings, and back (after a profile
    // was loaded into it).
    void apply();
    void absorb();

private:
    void publish_progress();
    void make_outcome();

    tolvane_convertor& converter_;
    std::u16string last_table_;
};
