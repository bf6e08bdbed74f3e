// What the wizard asks of the desktop: file choosers, message boxes, modal
// dialogs, opening a URL (help pages, the bug mail) and the clipboard.
// The program uses the desktop's; tests put their own in place, so that no
// real dialog opens and every answer is scripted.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

class QDialog;
class QWidget;

class wizard_services {
public:
    virtual ~wizard_services();

    enum class box { error, message, question };

    // An open dialog that accepts only existing files; empty on Cancel.
    virtual QString open_file(QWidget* parent, const QString& title, const QString& filters, const QString& start);
    virtual QString save_file(QWidget* parent, const QString& title, const QString& filters, const QString& start);
    // A modal message box with plain text; for a question, true is Yes.
    virtual bool show_box(QWidget* parent, box kind, const QString& caption, const QString& text);
    // Runs a modal dialog of ours and returns its result.
    virtual int exec_dialog(QDialog& dialog);
    // Hands a URL to the desktop (help pages, mailto:); false when nothing
    // takes it.
    virtual bool open_url(const QUrl& url);
    virtual void set_clipboard(const QString& text);

    // The process's services; the desktop's until replaced.
    static wizard_services& current();
    // Replaces them; null restores the desktop's. The caller keeps
    // ownership and keeps the object alive while it is installed.
    static void install(wizard_services* services);
};
