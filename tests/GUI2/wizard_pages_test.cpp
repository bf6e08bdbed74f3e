// Walking the pages forward and back: what each page checks, the messages
// it shows, and what it stores.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "gui2_test_support.h"
#include "ora_exception.h"
#include "welcome_page.h"

class pages_test : public wizard_test {
protected:
    void set_text(const char* name, const QString& text) { child<QLineEdit>(name)->setText(text); }
    void walk_to(int id)
    {
        while (shell->currentId() < id) {
            int before = shell->currentId();
            shell->next();
            ASSERT_NE(shell->currentId(), before) << "stuck on page " << before;
        }
    }
    // A new wizard on page `id`, past the Oracle page with database XE.
    void open_at(int id)
    {
        make_shell();
        walk_to(wizard_shell::oracle_id);
        set_text("database", "XE");
        walk_to(id);
    }
};

TEST_F(pages_test, oracle_page_checks_and_connects)
{
    make_shell();
    EXPECT_EQ(shell->currentId(), wizard_shell::welcome_id);
    shell->next();
    ASSERT_EQ(shell->currentId(), wizard_shell::oracle_id);
    EXPECT_EQ(shell->currentPage()->title(), "Step 1 of 5");
    EXPECT_EQ(shell->currentPage()->subTitle(), "Connect to Oracle server");
    EXPECT_EQ(child<QLineEdit>("port")->text(), "1521");

    shell->next();  // no database name: no connection attempt
    EXPECT_EQ(shell->currentId(), wizard_shell::oracle_id);
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"You should enter Oracle database name"});
    EXPECT_TRUE(backend.calls.empty());

    // A listener error: the mapped text, then the troubleshooting help.
    backend.connect_failure = std::make_unique<ora_exception>(12541, u"ORA-12541: TNS:no listener");
    set_text("database", "XE");
    set_text("user", " scott ");
    shell->next();
    EXPECT_EQ(shell->currentId(), wizard_shell::oracle_id);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(services.boxes[0].text.startsWith("ORA-12541: no listener."));
    EXPECT_EQ(services.boxes[0].caption, "Tolvane 4.1 Error");
    ASSERT_EQ(services.urls.size(), 1u);
    EXPECT_TRUE(services.urls[0].toLocalFile().endsWith("troubleshooting.html"));
    EXPECT_FALSE(backend.connected());
    services.boxes.clear();

    // A wrong password: the mapped text, no help.
    backend.connect_failure = std::make_unique<ora_exception>(1017, u"ORA-01017: invalid username/password");
    shell->next();
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Invalid user name or password."});
    EXPECT_EQ(services.urls.size(), 1u);

    backend.connect_failure.reset();
    shell->next();
    EXPECT_EQ(shell->currentId(), wizard_shell::ugl_id);
    EXPECT_TRUE(backend.connected());
    const wizard_settings& s = backend.settings();
    EXPECT_EQ(s.oracleh, u"localhost");  // empty server
    EXPECT_EQ(s.oracleu, u" scott ");    // kept as typed
    EXPECT_EQ(s.dest, u"XE");
    EXPECT_EQ(backend.calls.back(), "connect XE");

    // Back and Next again: the values are shown as stored; a failed
    // reconnect leaves no connection.
    shell->back();
    EXPECT_EQ(child<QLineEdit>("server")->text(), "localhost");
    backend.connect_failure = std::make_unique<ora_exception>(12505, u"ORA-12505: unknown SID");
    shell->next();
    EXPECT_EQ(shell->currentId(), wizard_shell::oracle_id);
    EXPECT_FALSE(backend.connected());
}

TEST_F(pages_test, security_page_checks_only_when_ticked)
{
    QString mdw = touch("system.mdw");
    QString other = touch("notes.txt");
    struct row {
        QString file, user, password;
        QString shown;  // empty: goes on
    };
    const row rows[] = {
        {"", "admin", "", "You should enter path to MS Access workgroup information file"},
        {scratch.filePath("none.mdw"), "admin", "",
         "Workgroup information file does not exist.\nPlease verify the correct path was given."},
        {other, "admin", "",
         "The file does not comply with MS Access workgroup information\nfile format. Leave all the fields empty on "
         "this wizard page if your\ndatabase is not protected with MS Access user-level security."},
        {mdw, "", "", "You should enter user name"},
        {"", "", "", ""},
        {"  " + mdw + " ", " admin ", " pw ", ""},
    };
    open_at(wizard_shell::ugl_id);
    EXPECT_FALSE(child<QLineEdit>("file")->isEnabled());
    shell->next();  // unticked: no checks, nothing stored
    EXPECT_EQ(shell->currentId(), wizard_shell::sel_file_id);
    shell->back();
    child<QCheckBox>("use_ugl")->setChecked(true);
    EXPECT_TRUE(child<QLineEdit>("file")->isEnabled());
    for (const row& r : rows) {
        set_text("file", r.file);
        set_text("user", r.user);
        set_text("password", r.password);
        shell->next();
        std::vector<QString> shown = services.take_texts();
        if (r.shown.isEmpty()) {
            EXPECT_TRUE(shown.empty()) << shown.front().toStdString();
            EXPECT_EQ(shell->currentId(), wizard_shell::sel_file_id);
            shell->back();
        } else {
            EXPECT_EQ(shown, std::vector<QString>{r.shown});
            EXPECT_EQ(shell->currentId(), wizard_shell::ugl_id);
        }
    }
    const wizard_settings& s = backend.settings();
    EXPECT_TRUE(s.use_ugl);
    EXPECT_EQ(QString::fromStdU16String(s.sysdb_path), mdw);
    EXPECT_EQ(s.ugl_user, u"admin");
    EXPECT_EQ(s.ugl_pswd, u" pw ");  // a password keeps its blanks
}

TEST_F(pages_test, source_page_checks_and_stores_options)
{
    QString mdb = touch("shop.mdb");
    open_at(wizard_shell::sel_file_id);
    EXPECT_TRUE(child<QCheckBox>("uppercase")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("mode1")->isChecked());
    EXPECT_FALSE(child<QLineEdit>("password")->isEnabled());

    const std::pair<QString, QString> rows[] = {
        {"", "You should enter MS Access database name"},
        {scratch.filePath("gone.mdb"), "Source file does not exist.\nPlease verify the correct path was given."},
    };
    for (const auto& [file, shown] : rows) {
        set_text("file", file);
        shell->next();
        EXPECT_EQ(services.take_texts(), std::vector<QString>{shown});
        EXPECT_EQ(shell->currentId(), wizard_shell::sel_file_id);
    }

    // A failing open shows the mapped MS Access text.
    backend.source_failure = std::make_unique<tk_exception>("Not a valid password.", 0);
    backend.source_failure->code = 0x10000 + 3031;
    set_text("file", mdb);
    child<QCheckBox>("use_pwd")->setChecked(true);
    set_text("password", "secret");
    child<QCheckBox>("tab_def")->setChecked(true);
    child<QCheckBox>("uppercase")->setChecked(false);
    child<QRadioButton>("mode3")->setChecked(true);
    child<QSpinBox>("jet3_codepage")->setValue(936);
    shell->next();
    std::vector<QString> shown = services.take_texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shell->currentId(), wizard_shell::sel_file_id);

    backend.source_failure.reset();
    shell->next();
    EXPECT_EQ(shell->currentId(), wizard_shell::tables_id);
    const wizard_settings& s = backend.settings();
    EXPECT_EQ(QString::fromStdU16String(s.src), mdb);
    EXPECT_EQ(s.acc_pswd, u"secret");
    EXPECT_TRUE(s.tab_def);
    EXPECT_FALSE(s.uppercase);
    EXPECT_EQ(s.mode, 3);
    EXPECT_EQ(s.jet3_codepage, 936);

    // Unticking "Use password" clears the stored password.
    shell->back();
    EXPECT_TRUE(child<QRadioButton>("mode3")->isChecked());
    child<QCheckBox>("use_pwd")->setChecked(false);
    shell->next();
    EXPECT_TRUE(backend.settings().acc_pswd.empty());
}

TEST_F(pages_test, no_way_back_from_the_run)
{
    backend.row_time = std::chrono::microseconds(1000);
    backend.settings().selected_tables = {u"Orders"};
    backend.settings().src = touch("shop.mdb").toStdU16String();
    open_at(wizard_shell::progress_id);
    EXPECT_EQ(shell->currentPage()->title(), "Step 5 of 5");
    auto* back = shell->button(QWizard::BackButton);
    EXPECT_FALSE(back->isVisible() && back->isEnabled());
    EXPECT_FALSE(shell->button(QWizard::CommitButton)->isEnabled());
    ASSERT_TRUE(wait_for([&] { return shell->currentId() == wizard_shell::finish_id; }));
    back = shell->button(QWizard::BackButton);
    EXPECT_FALSE(back->isVisible() && back->isEnabled());
}

TEST_F(pages_test, mode_out_of_range_shows_nearest)
{
    const std::pair<int, const char*> rows[] = {{-3, "mode1"}, {0, "mode1"}, {2, "mode2"}, {4, "mode4"}, {9, "mode4"}};
    for (const auto& [mode, radio] : rows) {
        backend.settings().mode = mode;
        open_at(wizard_shell::sel_file_id);
        EXPECT_TRUE(child<QRadioButton>(radio)->isChecked()) << mode;
        shell.reset();
    }
}

TEST_F(pages_test, cancel_asks_and_no_keeps_the_page)
{
    make_shell();
    shell->next();
    services.answers = {false};
    shell->reject();
    EXPECT_TRUE(shell->isVisible());
    EXPECT_EQ(shell->currentId(), wizard_shell::oracle_id);
    services.answers = {true};
    shell->reject();
    EXPECT_FALSE(shell->isVisible());
    EXPECT_EQ(shell->exit_code(), wizard_shell::exit_cancelled);
    EXPECT_EQ(services.take_texts(), std::vector<QString>(2, "Are you sure you want to exit the wizard?"));
}

TEST_F(pages_test, load_settings_failures_are_reported_not_thrown)
{
    make_shell();
    services.files = {scratch.filePath("missing.tlv")};
    shell->currentPage()->findChild<QAbstractButton*>("load_settings")->click();
    EXPECT_EQ(services.take_texts(),
              std::vector<QString>{"Profile does not exist. Please verify the correct path/name was given."});
    EXPECT_EQ(services.file_titles.back(), "Select Profile File | Profile Files (*.tlv);;All files (*)");
    EXPECT_THROW(wizard_profile_filter("tl"), tk_mail_assertion);
}

// The help that is there opens on F1 (keyboard_enter_is_next_escape_asks_f1_helps).
TEST_F(pages_test, help_missing)
{
    make_shell();
    wizard_shell::set_help_dir(scratch.filePath("nohelp"));
    wizard_shell::display_help(1017);
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Help file does not exist. Reinstall the program."});
}

TEST_F(pages_test, keyboard_enter_is_next_escape_asks_f1_helps)
{
    make_shell();
    shell->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(shell.get()));
    QTest::keyClick(shell->currentPage(), Qt::Key_Return);
    ASSERT_EQ(shell->currentId(), wizard_shell::oracle_id);
    auto* database = child<QLineEdit>("database");
    database->setFocus();
    QTest::keyClick(database, Qt::Key_Return);  // Next: the check runs
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"You should enter Oracle database name"});
    QTest::keyClick(database, Qt::Key_F1);
    ASSERT_EQ(services.urls.size(), 1u);
    EXPECT_TRUE(services.urls[0].toLocalFile().endsWith("/index.html"));
    // Alt+D (the label's mnemonic) reaches the database field.
    child<QLineEdit>("server")->setFocus();
    QTest::keyClick(shell.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), database);
    services.answers = {false};
    QTest::keyClick(database, Qt::Key_Escape);
    EXPECT_EQ(services.take_texts(), std::vector<QString>{"Are you sure you want to exit the wizard?"});
    EXPECT_TRUE(shell->isVisible());
}
