// The internal-error dialog: clipboard, the kept report, the bug mail.
#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>

#include "dlg_error_continue.h"
#include "dlg_error_ex.h"
#include "gui2_test_support.h"

class error_dialog_test : public wizard_test {};

TEST_F(error_dialog_test, copy_puts_exact_text_on_clipboard_and_keeps_a_private_copy)
{
    QString text = "Internal error: ora_tab 0x1F2\nsecond line æøå";
    dlg_error_ex d(text);
    EXPECT_EQ(d.windowTitle(), "Error");  // no wizard frame
    d.findChild<QAbstractButton*>("copy")->click();
    EXPECT_EQ(d.result(), dlg_error_ex::copy_result);
    EXPECT_EQ(services.clipboard, text);
    QFile kept(dlg_error_ex::report_file());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(kept.readAll()), text + "\n");
    EXPECT_EQ(file_mode(dlg_error_ex::report_file()), 0600);

    dlg_error_ex again(text);
    again.findChild<QAbstractButton*>("ok")->click();
    EXPECT_EQ(again.result(), dlg_error_ex::ok_result);
}

TEST_F(error_dialog_test, bug_mail_to_support_with_subject_body_and_date)
{
    QDateTime when(QDate(2026, 3, 4), QTime(5, 6));
    QString text = "a & b = c #1 +x?";
    QUrl url = tk_bug_mail_url("Tolvane 4.1", text, when);
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), "support@tolvane.dev");
    QUrlQuery q(url);
    EXPECT_EQ(q.queryItemValue("subject", QUrl::FullyDecoded), "Bug report on Tolvane 4.1");
    EXPECT_EQ(q.queryItemValue("body", QUrl::FullyDecoded), text + "\n\n2026/3/4 5:6");

    make_shell();
    dlg_error_ex d("boom");
    EXPECT_EQ(d.windowTitle(), "Tolvane 4.1 Error");
    d.findChild<QAbstractButton*>("send_bug")->click();
    ASSERT_EQ(services.urls.size(), 1u);
    EXPECT_EQ(QUrlQuery(services.urls[0]).queryItemValue("subject", QUrl::FullyDecoded), "Bug report on Tolvane 4.1");
    // No mail handler: given up silently.
    services.url_taken = false;
    d.findChild<QAbstractButton*>("send_bug")->click();
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(error_dialog_test, continue_dialog_defaults_to_continue)
{
    dlg_error_continue d("Orders, record #7: boom");
    d.reject();  // Escape
    EXPECT_EQ(d.result(), dlg_error_continue::continue_result);
    EXPECT_FALSE(d.dont_show_again());
    d.findChild<QAbstractButton*>("abort")->click();
    EXPECT_EQ(d.result(), dlg_error_continue::abort_result);
}

TEST_F(error_dialog_test, connecting_dialog_ignores_escape_and_turns)
{
    connecting_dialog d;
    d.show();
    d.reject();
    EXPECT_TRUE(d.isVisible());
    int first = d.frame();
    EXPECT_TRUE(wait_for([&] { return d.frame() != first; }, 3000));
}
