// The wizard over the real converter, into the Oracle stand-in: a walk
// through every page that converts a table, a refused logon, and a quick
// launch from a profile in the converter's own format.
#include <cstdlib>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "../agent/agent_test_support.h"
#include "dlg_error_continue.h"
#include "gui2_test_support.h"
#include "tlv_sel_tables_page.h"
#include "tolvane_convertor.h"
#include "wizard_engine_backend.h"

class wizard_emu : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB, 1);
        setenv("ORAEMU_HOME", emu.home().c_str(), 1);
        wizard_services::install(&services);
        handler = std::make_unique<error_handler>(tk_oracle_error_count, tk_oracle_errors);
        handler->load_err_map(tk_access_error_count, tk_access_errors);
        handler->set_presenter(std::make_unique<wizard_presenter>());
        converter = std::make_unique<tolvane_convertor>();
        backend = std::make_unique<wizard_engine_backend>(*converter);
    }
    void TearDown() override
    {
        shell.reset();
        backend.reset();
        converter.reset();
        handler.reset();
        wizard_services::install(nullptr);
    }
    void set_text(const char* name, const QString& text)
    {
        shell->currentPage()->findChild<QLineEdit*>(name)->setText(text);
    }
    void fill_logon(const QString& password)
    {
        set_text("server", "localhost");
        set_text("database", "XE");
        set_text("user", "scott");
        set_text("password", password);
    }
    bool finished()
    {
        return wait_for([this] { return shell->currentId() == wizard_shell::finish_id; }, 30000);
    }
    QString result_text() { return shell->currentPage()->findChild<QLabel*>("result")->text(); }
    // Readies a quick launch from a profile converting nwind.mdb into XE as
    // scott; `more` follows the first section's two lines.
    void prepare(const std::string& more)
    {
        std::string profile =
            emu.file("setup.tlv", "[Generic settings]\r\nsrc=" + test_data("nwind.mdb") + "\r\ndest=XE\r\n" + more);
        wizard_shell::prepare_quick_launch(*backend, QString::fromStdString(profile));
    }
    // The wizard on its first page, or on the run when `quick`.
    void show_shell(bool quick = true)
    {
        shell = std::make_unique<wizard_shell>(*backend, quick);
        shell->show();
    }

    emu_service emu;
    script_services services;
    std::unique_ptr<error_handler> handler;
    std::unique_ptr<tolvane_convertor> converter;
    std::unique_ptr<wizard_engine_backend> backend;
    std::unique_ptr<wizard_shell> shell;
};

TEST_F(wizard_emu, every_page_to_a_converted_table)
{
    show_shell(false);
    shell->next();
    fill_logon("wrong");
    shell->next();  // refused: the mapped text, no connection, still here
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Invalid user name or password."});
    EXPECT_EQ(shell->currentId(), wizard_shell::oracle_id);
    EXPECT_FALSE(backend->connected());

    set_text("password", "tiger");
    shell->next();
    ASSERT_EQ(shell->currentId(), wizard_shell::ugl_id) << services.take_texts().front().toStdString();
    EXPECT_TRUE(backend->connected());
    shell->next();
    set_text("file", QString::fromStdString(test_data("nwind.mdb")));
    shell->next();
    ASSERT_EQ(shell->currentId(), wizard_shell::tables_id);

    auto* page = static_cast<tlv_sel_tables_page*>(shell->currentPage());
    auto found = page->available_list()->findItems("Shippers", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    page->available_list()->setCurrentItem(found.first());
    page->on_add();
    shell->next();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(result_text().startsWith("Wizard has migrated your MS Access database")) << result_text().toStdString();
    EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"SHIPPERS\""), "3");
    auto* summary = shell->currentPage()->findChild<QTreeWidget*>("summary");
    ASSERT_EQ(summary->topLevelItemCount(), 1);
    EXPECT_EQ(summary->topLevelItem(0)->text(0), "Shippers");
    EXPECT_EQ(summary->topLevelItem(0)->text(2), "3");
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_ok);
}

TEST_F(wizard_emu, quick_launch_from_a_profile)
{
    prepare("mode=1\r\n\r\n[Oracle settings]\r\nhost=localhost\r\nuser=scott\r\npassword=tiger\r\nport=1521\r\n"
            "uppercase=0\r\n\r\n[Selected Tables]\r\nShippers\r\nQ1=SELECT * FROM Shippers WHERE ShipperID < 3\r\n");
    EXPECT_EQ(backend->settings().selected_tables, std::vector<std::u16string>{u"Shippers"});
    show_shell();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(result_text().startsWith("Wizard has migrated")) << result_text().toStdString();
    EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Shippers\""), "3");
    EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Q1\""), "2");
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_ok);
}

TEST_F(wizard_emu, stop_during_a_run_keeps_the_rows_loaded)
{
    prepare("\r\n[Oracle settings]\r\nuser=scott\r\npassword=tiger\r\nuppercase=0\r\n\r\n[Selected Tables]\r\n"
            "Order Details\r\nShippers\r\n");
    show_shell();
    ASSERT_TRUE(wait_for([this] { return backend->counters().records_done.load() > 5; }, 30000));
    services.answers = {true};
    shell->reject();
    ASSERT_TRUE(finished());
    const run_outcome& o = backend->outcome();
    ASSERT_EQ(o.end, run_outcome::state::stopped);
    EXPECT_EQ(o.stop_table, u"Order Details");
    EXPECT_LT(o.stop_row, 2155);
    // What was loaded before the stop is committed; the next table never began.
    EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Order_Details\""), std::to_string(o.stop_row));
    EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'Shippers'"), "0");
    EXPECT_TRUE(result_text().startsWith("The conversion was stopped in table 'Order Details' after record #"));
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
}

// A row refused by Oracle, answered with Continue or with Abort.
TEST_F(wizard_emu, row_error_continue_or_abort)
{
    struct row {
        int answer;
        run_outcome::state end;
        const char* result_start;
        const char* stored;  // rows of Shippers in Oracle afterwards
        const char* mode;
        const char* code;     // of the second insert
        const char* prepare;  // run on the table left by the row before, if any
        int64_t updated;
    };
    const row rows[] = {
        {dlg_error_continue::continue_result, run_outcome::state::completed,
         "There were some errors while converting the database.", "2", "1", "1", nullptr, 0},
        // The rows travel in one array, yet the stop leaves what a row by
        // row load leaves: row #1 alone, not row #3 that followed #2.
        {dlg_error_continue::abort_result, run_outcome::state::stopped,
         "The conversion was stopped in table 'Shippers' after record #1.", "1", "1", "1", nullptr, 0},
        // Synchronizing: row #1 (there already) is updated, row #3 (new) is
        // taken back with the stop at #2.
        {dlg_error_continue::abort_result, run_outcome::state::stopped,
         "The conversion was stopped in table 'Shippers' after record #1.", "1", "4", "1653",
         "UPDATE \"Shippers\" SET \"Phone\" = 'x'", 1},
    };
    for (const row& r : rows) {
        if (r.prepare != nullptr) emu.oraemu({"sql", "XE", "scott", "tiger", r.prepare});
        emu.oraemu({"fault", "XE", "insert_fails", "Shippers", "2", r.code});
        std::string profile = emu.file(
            "rows.tlv", "[Generic settings]\r\nsrc=" + test_data("nwind.mdb") + "\r\ndest=XE\r\nmode=" + r.mode +
                            "\r\n\r\n[Oracle settings]\r\nuser=scott\r\npassword=tiger\r\nuppercase=0\r\n\r\n"
                            "[Selected Tables]\r\nShippers\r\n");
        backend->settings() = wizard_settings();
        wizard_shell::prepare_quick_launch(*backend, QString::fromStdString(profile));
        QString asked;
        services.dialogs.push_back([&](QDialog& d) {
            asked = d.findChildren<QLabel*>().at(1)->text();
            return r.answer;
        });
        show_shell();
        ASSERT_TRUE(finished());
        EXPECT_TRUE(asked.startsWith("Shippers, record #2: ")) << asked.toStdString();
        EXPECT_EQ(backend->outcome().end, r.end);
        EXPECT_TRUE(result_text().startsWith(r.result_start)) << result_text().toStdString();
        EXPECT_EQ(shell->reported_errors().size(), 1u);
        EXPECT_EQ(shell->exit_code(), wizard_shell::exit_errors);
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Shippers\""), r.stored);
        EXPECT_EQ(backend->outcome().summary.at(0).inserted, r.updated != 0 ? 0 : std::stoll(r.stored));
        EXPECT_EQ(backend->outcome().summary.at(0).updated, r.updated);
        EXPECT_EQ(emu.scalar("SELECT COUNT(*) FROM \"Shippers\" WHERE \"Phone\" = 'x'"), "0");
        shell.reset();
        handler->set_silent(false);
        emu.oraemu({"clear-faults", "XE"});
    }
}
