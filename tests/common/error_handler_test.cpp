#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "../TK/tk_test_support.h"
#include "error_handler.h"
#include "tk_error_tables.h"
#include "tk_wstring.h"

namespace {

// Raised by the recording presenter where the process would end.
struct process_ended {
    int status;
};

// Records what the policy shows; answers the continue dialog as told.
class recording_presenter : public error_presenter {
public:
    explicit recording_presenter(bool interactive, bool with_list = true)
        : interactive_(interactive), with_list_(with_list)
    {}

    bool interactive() const override { return interactive_; }
    void show_error(const std::string& text) override { errors.push_back(text); }
    void show_internal_error(const std::string& text) override { internal.push_back(text); }
    bool ask_continue(const std::string& text, bool& dont_show_again) override
    {
        asked.push_back(text);
        dont_show_again = tick_box;
        return answer_continue;
    }
    std::vector<std::string>* reported_errors() override { return with_list_ ? &list : nullptr; }
    [[noreturn]] void terminate(int status) override { throw process_ended{status}; }

    std::vector<std::string> errors, internal, asked, list;
    bool answer_continue = true;
    bool tick_box = false;

private:
    bool interactive_, with_list_;
};

const std::string k_duplicate_flat = "Duplicate field values being used for an unique index were found. "
                                     "See 'Troubleshooting' article of the product documentation for solution.";

tk_exception oracle_error(int ora, const char* text)
{
    tk_exception e(text, 0);
    e.code = 0x100000u | uint32_t(ora);
    return e;
}

class error_handler_test : public ::testing::Test {
protected:
    explicit error_handler_test(bool interactive = false)
    {
        handler_.load_err_map(tk_access_error_count, tk_access_errors);
        auto p = std::make_unique<recording_presenter>(interactive);
        presenter_ = p.get();
        handler_.set_presenter(std::move(p));
    }

    // The exit status handle() ended the process with, or 1 when it returned.
    int status_of(const tk_exception& e, bool top_level)
    {
        try {
            handler_.handle(e, top_level);
        } catch (const process_ended& end) {
            return end.status;
        }
        return 1;
    }

    trace_capture trace_;
    error_handler handler_{tk_oracle_error_count, tk_oracle_errors};
    recording_presenter* presenter_ = nullptr;
};

class agent_policy : public error_handler_test {};

TEST_F(agent_policy, row_error_shows_context_and_friendly_text_and_goes_on)
{
    handler_.set_context(u"Orders", 7);
    EXPECT_EQ(handler_.context(), "Orders, record #7");
    EXPECT_EQ(status_of(oracle_error(1, "ORA-00001: unique constraint (SCOTT.PK) violated"), false), 1);
    ASSERT_EQ(presenter_->errors.size(), 1u);
    EXPECT_EQ(presenter_->errors[0], "Orders, record #7: " + k_duplicate_flat);
    EXPECT_TRUE(presenter_->internal.empty());
    // The trace keeps the line feeds of the friendly text.
    EXPECT_TRUE(trace_.contains("Error:\nOrders, record #7: Duplicate field values being used for an unique "
                                "index were found.\nSee 'Troubleshooting'"));
    EXPECT_TRUE(trace_.contains("Got 0-level error\r\n"));
}

TEST_F(agent_policy, unknown_code_shows_the_database_text)
{
    handler_.set_context(u"Customers");
    handler_.handle(oracle_error(942, "ORA-00942: table or view does not exist\n"), false);
    ASSERT_EQ(presenter_->errors.size(), 1u);
    EXPECT_EQ(presenter_->errors[0], "Customers: ORA-00942: table or view does not exist ");
}

TEST_F(agent_policy, no_context_no_prefix)
{
    tk_exception dao("Could not find file.", 0);
    dao.code = 0x10000 + 3024;
    handler_.handle(dao, false);
    tk_exception workgroup("raw text", 1);
    workgroup.code = 68894;
    EXPECT_EQ(status_of(workgroup, false), -1);
    ASSERT_EQ(presenter_->errors.size(), 2u);
    EXPECT_EQ(presenter_->errors[0], "Could not find file.");
    EXPECT_EQ(presenter_->errors[1], "Invalid workgroup information file. Return to the previous "
                                     "wizard page and verify the correct path was given.");
}

TEST_F(agent_policy, level_one_ends_the_process_after_the_message)
{
    EXPECT_EQ(status_of(tk_exception("Cannot load the MS Access engine.", 1), true), -1);
    EXPECT_EQ(presenter_->errors, std::vector<std::string>{"Cannot load the MS Access engine."});
    EXPECT_TRUE(trace_.contains("Got 1-level error\r\n"));
}

TEST_F(agent_policy, silent_hides_errors_but_not_internal_ones)
{
    handler_.set_silent(true);
    EXPECT_EQ(status_of(tk_exception("row failed", 0), false), 1);
    EXPECT_EQ(status_of(tk_exception("fatal", 1), false), -1);
    EXPECT_TRUE(presenter_->errors.empty());
    // Still traced.
    EXPECT_TRUE(trace_.contains("Error:\nrow failed\r\n"));
    EXPECT_EQ(status_of(tk_mail_assertion("x", 7), false), -1);
    EXPECT_EQ(presenter_->internal, std::vector<std::string>{"Internal error: \ncode=785c37"});
}

TEST_F(agent_policy, internal_error_ends_the_process_without_composition)
{
    handler_.set_context(u"Orders", 1);
    EXPECT_EQ(status_of(tk_mail_assertion("udb_sche", 40), true), -1);
    ASSERT_EQ(presenter_->internal.size(), 1u);
    // Neither the context nor line-feed flattening applies here.
    EXPECT_EQ(presenter_->internal[0].rfind("Internal error: \ncode=", 0), 0u);
    EXPECT_TRUE(presenter_->errors.empty());
    EXPECT_TRUE(trace_.contains("Internal error:\nInternal error: \ncode="));
}

TEST_F(agent_policy, context_forms_and_clearing)
{
    handler_.set_context(u"Gr\u00f6\u00dfe", 12);
    EXPECT_EQ(handler_.context(), tk_to_ansi(u"Gr\u00f6\u00dfe") + ", record #12");
    handler_.clear_context();
    EXPECT_EQ(handler_.context(), "");
    handler_.set_context(u"T");
    EXPECT_EQ(handler_.context(), "T");
}

TEST_F(agent_policy, traces_entry_and_construction)
{
    handler_.handle(tk_exception("x", 0), false);
    std::string log = trace_.text();
    size_t ctor = log.find("error_handler::ctor\r\ntk_error_converter::ctor (map size=12)");
    size_t load = log.find("error_handler::load_err_map\r\ntk_error_converter::load_map (map size=7)");
    EXPECT_NE(ctor, std::string::npos) << log;
    EXPECT_NE(load, std::string::npos) << log;
    EXPECT_LT(ctor, load);
    EXPECT_TRUE(trace_.contains("error_handler::handle\r\n"));
}

class wizard_policy : public error_handler_test {
protected:
    wizard_policy() : error_handler_test(true) {}

    bool final_from(const tk_exception& e, bool top_level)
    {
        try {
            handler_.handle(e, top_level);
        } catch (const tk_final_exception&) {
            return true;
        }
        return false;
    }
};

TEST_F(wizard_policy, row_errors_fill_the_list_up_to_twenty)
{
    for (int row = 1; row <= 25; ++row) {
        handler_.set_context(u"Orders", row);
        EXPECT_FALSE(final_from(oracle_error(1, "dup"), false));
    }
    ASSERT_EQ(presenter_->list.size(), error_handler::max_reported_errors);
    EXPECT_EQ(presenter_->list[0], "Orders, record #1: " + k_duplicate_flat);
    EXPECT_EQ(presenter_->list[19], "Orders, record #20: " + k_duplicate_flat);
    EXPECT_EQ(presenter_->asked.size(), 25u);  // every one asked: the box was not ticked
    EXPECT_TRUE(presenter_->errors.empty());
}

TEST_F(wizard_policy, ticking_the_box_silences_later_dialogs)
{
    presenter_->tick_box = true;
    EXPECT_FALSE(final_from(tk_exception("first", 0), false));
    EXPECT_TRUE(handler_.silent());
    EXPECT_FALSE(final_from(tk_exception("second", 0), false));
    EXPECT_FALSE(final_from(tk_exception("third", 0), false));
    EXPECT_EQ(presenter_->asked, std::vector<std::string>{"first"});
    EXPECT_EQ(presenter_->list, (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(wizard_policy, abort_ends_the_run_below_the_top_level)
{
    presenter_->answer_continue = false;
    presenter_->tick_box = true;
    EXPECT_TRUE(final_from(tk_exception("row", 0), false));
    EXPECT_FALSE(handler_.silent());  // the box state is not stored on abort
    EXPECT_FALSE(final_from(tk_exception("run", 0), true));
    EXPECT_TRUE(handler_.silent());
}

TEST_F(wizard_policy, fatal_error_shows_the_box_and_ends_the_run)
{
    EXPECT_TRUE(final_from(tk_exception("Cannot open\nthe database.", 1), false));
    EXPECT_EQ(presenter_->errors, std::vector<std::string>{"Cannot open the database."});
    EXPECT_EQ(presenter_->list, std::vector<std::string>{"Cannot open the database."});
    EXPECT_TRUE(presenter_->asked.empty());
    EXPECT_TRUE(trace_.contains("Got 1-level error\r\nStep 1\r\nStep 2\r\n"));
    // At the top level the handler returns: the run is already ending.
    EXPECT_FALSE(final_from(tk_exception("again", 1), true));
    EXPECT_EQ(presenter_->errors.size(), 2u);
}

TEST_F(wizard_policy, silent_fatal_error_skips_the_box)
{
    handler_.set_silent(true);
    EXPECT_TRUE(final_from(tk_exception("fatal", 1), false));
    EXPECT_TRUE(presenter_->errors.empty());
    EXPECT_EQ(presenter_->list, std::vector<std::string>{"fatal"});
    EXPECT_TRUE(trace_.contains("Got 1-level error\r\nStep 2\r\n"));
}

TEST_F(wizard_policy, internal_error_ends_the_process)
{
    EXPECT_EQ(status_of(tk_mail_assertion("x", 7), false), -1);
    EXPECT_EQ(presenter_->internal, std::vector<std::string>{"Internal error: \ncode=785c37"});
    EXPECT_TRUE(presenter_->list.empty());
}

TEST(error_handler_wizard, without_a_shell_nothing_is_listed)
{
    error_handler handler(tk_oracle_error_count, tk_oracle_errors);
    auto p = std::make_unique<recording_presenter>(true, false);
    recording_presenter* seen = p.get();
    handler.set_presenter(std::move(p));
    handler.handle(tk_exception("row", 0), true);
    EXPECT_EQ(seen->asked, std::vector<std::string>{"row"});
}

TEST(error_handler, is_a_singleton)
{
    error_handler first(0, tk_oracle_errors);
    EXPECT_EQ(&error_handler::instance(), &first);
    EXPECT_THROW(error_handler(0, tk_oracle_errors), tk_mail_assertion);
    EXPECT_THROW(first.set_presenter(nullptr), tk_mail_assertion);
}

TEST(console_error_presenter, writes_the_agent_lines)
{
    temp_dir dir;
    std::string out = dir.file("stdout.txt");
    std::fflush(stdout);
    int saved = ::dup(1);
    ASSERT_GE(saved, 0);
    std::FILE* redirected = std::freopen(out.c_str(), "w", stdout);
    ASSERT_NE(redirected, nullptr);
    {
        console_error_presenter p;
        EXPECT_FALSE(p.interactive());
        EXPECT_EQ(p.reported_errors(), nullptr);
        p.show_error("Orders, record #7: text");
        p.show_internal_error("Internal error: \ncode=785c37");
    }
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    EXPECT_EQ(read_file(out), "Error:\nOrders, record #7: text\nInternal error: Internal error: \ncode=785c37\n");
}

TEST(console_error_presenter_death, terminate_exits_with_minus_one)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    console_error_presenter p;
    EXPECT_EXIT(p.terminate(-1), ::testing::ExitedWithCode(255), "");
}

}  // namespace
