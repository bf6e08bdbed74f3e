#include "wizard_services.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>

namespace {

wizard_services*& installed()
{
    static wizard_services* services = nullptr;
    return services;
}

}  // namespace

wizard_services::~wizard_services() = default;

QString wizard_services::open_file(QWidget* parent, const QString& title, const QString& filters, const QString& start)
{
    // QFileDialog::getOpenFileName already accepts only existing files.
    return QFileDialog::getOpenFileName(parent, title, start, filters);
}

QString wizard_services::save_file(QWidget* parent, const QString& title, const QString& filters, const QString& start)
{
    return QFileDialog::getSaveFileName(parent, title, start, filters);
}

bool wizard_services::show_box(QWidget* parent, box kind, const QString& caption, const QString& text)
{
    QMessageBox m(parent);
    m.setTextFormat(Qt::PlainText);
    m.setWindowTitle(caption);
    m.setText(text);
    switch (kind) {
    case box::error: m.setIcon(QMessageBox::Critical); break;
    case box::message: m.setIcon(QMessageBox::Information); break;
    case box::question:
        m.setIcon(QMessageBox::Question);
        m.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        m.setDefaultButton(QMessageBox::Yes);
        break;
    }
    return m.exec() == QMessageBox::Yes;
}

int wizard_services::exec_dialog(QDialog& dialog)
{
    return dialog.exec();
}

bool wizard_services::open_url(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void wizard_services::set_clipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

wizard_services& wizard_services::current()
{
    static wizard_services desktop;
    wizard_services* s = installed();
    return s != nullptr ? *s : desktop;
}

void wizard_services::install(wizard_services* services)
{
    installed() = services;
}
