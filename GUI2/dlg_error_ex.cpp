#include "dlg_error_ex.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QUrlQuery>
#include <QVBoxLayout>

#include "tk_error_tables.h"
#include "tk_logger.h"
#include "wizard_services.h"
#include "wizard_settings_store.h"
#include "wizard_shell.h"

namespace {

QString shell_caption()
{
    return wizard_shell::exists() ? wizard_shell::product_title() + " Error" : QStringLiteral("Error");
}

}  // namespace

dlg_error_ex::dlg_error_ex(const QString& text, QWidget* parent) : QDialog(parent), text_(text)
{
    tk_trace(1, "dlg_error_ex::ctor");
    tk_trace(1, "dlg_error_ex::on_init");
    setWindowTitle(shell_caption());

    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    auto* message = new QLabel(text_);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString kept = report_file();
    if (kept.startsWith(QDir::homePath() + "/")) kept = "~" + kept.mid(QDir::homePath().size());
    auto* note = new QLabel("\"Copy to clipboard\" also keeps the text in\n" + kept);
    note->setTextFormat(Qt::PlainText);
    note->setObjectName("report_note");

    auto* send = new QPushButton("Send bug");
    send->setObjectName("send_bug");
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* copy = new QPushButton("Copy to clipboard");
    copy->setObjectName("copy");
    connect(send, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_send_bug(); }); });
    connect(ok, &QPushButton::clicked, this, [this] { done(ok_result); });
    connect(copy, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_copy(); }); });

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(send);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(note);
    layout->addLayout(buttons);
}

QString dlg_error_ex::report_file()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return dir + "/tolvane/last-error.txt";
}

void dlg_error_ex::on_send_bug()
{
    tk_send_bug(wizard_shell::exists() ? wizard_shell::product_title() : QString(), text_);
}

void dlg_error_ex::on_copy()
{
    tk_copy_to_clipboard2(text_);
    done(copy_result);
}

void tk_copy_to_clipboard2(const QString& text)
{
    tk_trace(2, "tk_copy_to_clipboard2(%s)", text.toStdString());
    wizard_services::current().set_clipboard(text);
    QString path = dlg_error_ex::report_file();
    QDir().mkpath(QFileInfo(path).absolutePath());
    bool kept = wizard_write_private(path, [&] {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
        return file.write(text.toUtf8() + '\n') >= 0;
    });
    if (!kept) tk_trace(1, "Cannot keep the report in %s", path.toStdString());
}

QUrl tk_bug_mail_url(const QString& title, const QString& text, const QDateTime& when)
{
    QDate d = when.date();
    QTime t = when.time();
    QString date = QString::asprintf("%d/%d/%d %d:%d", d.year(), d.month(), d.day(), t.hour(), t.minute());
    // QUrlQuery encodes the delimiters "&", "=" and "#" inside the values.
    QUrlQuery query;
    query.addQueryItem("subject", "Bug report on " + title);
    query.addQueryItem("body", text + "\n\n" + date);
    QUrl url;
    url.setScheme("mailto");
    url.setPath(QString::fromLatin1(tk_support_address));
    url.setQuery(query);
    return url;
}

void tk_send_bug(const QString& title, const QString& text)
{
    tk_trace(2, "tk_send_bug(%s|%s)", title.toStdString(), text.toStdString());
    QUrl url = tk_bug_mail_url(title, text, QDateTime::currentDateTime());
    bool sent = wizard_services::current().open_url(url);
    tk_trace(1, "lpfnMAPISendMail returns %d", sent ? 0 : 1);
    if (!sent) tk_trace(1, "Failed to locate MAPI32.DLL");
}
