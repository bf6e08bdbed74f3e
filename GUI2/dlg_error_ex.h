// The internal-error dialog: the message, "Send bug" (a mail to support
// through the desktop's mail handler), "OK" and "Copy to clipboard".
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QUrl>

class dlg_error_ex : public QDialog {
    Q_OBJECT
public:
    static constexpr int ok_result = 1;
    static constexpr int copy_result = 1108;

    explicit dlg_error_ex(const QString& text, QWidget* parent = nullptr);

    const QString& text() const { return text_; }

    // The clipboard of X11 and Wayland lives in the program that set it:
    // the copied report is also kept in this file (owner-only), so that it
    // outlives the process.
    static QString report_file();

    void on_send_bug();
    void on_copy();

private:
    QString text_;
};

// Copies `text` to the clipboard and keeps it in dlg_error_ex::report_file.
void tk_copy_to_clipboard2(const QString& text);

// The bug mail: to the support address, subject "Bug report on " + title,
// the body the error text and the date "%d/%d/%d %d:%d" (year, month, day,
// hour, minute; no zero padding).
QUrl tk_bug_mail_url(const QString& title, const QString& text, const QDateTime& when);

// Hands the bug mail to the desktop's mail handler; gives up silently (a
// trace line) when there is none.
void tk_send_bug(const QString& title, const QString& text);
