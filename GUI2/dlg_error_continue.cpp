#include "dlg_error_continue.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "tk_logger.h"
#include "wizard_shell.h"

dlg_error_continue::dlg_error_continue(const QString& text, QWidget* parent) : QDialog(parent)
{
    tk_trace(1, "dlg_error_continue::ctor");
    tk_trace(1, "dlg_error_continue::on_init");
    setWindowTitle(wizard_shell::exists() ? wizard_shell::product_title() + " Error" : QStringLiteral("Error"));

    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    auto* message = new QLabel(text);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    again_ = new QCheckBox("&Do not show this dialog box again");
    auto* go_on = new QPushButton("Continue");
    go_on->setObjectName("continue");
    go_on->setDefault(true);
    go_on->setAutoDefault(true);
    auto* stop = new QPushButton("Abort");
    stop->setObjectName("abort");
    stop->setAutoDefault(false);
    connect(go_on, &QPushButton::clicked, this, [this] { done(continue_result); });
    connect(stop, &QPushButton::clicked, this, [this] { done(abort_result); });

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(again_);
    buttons->addStretch();
    buttons->addWidget(go_on);
    buttons->addWidget(stop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    go_on->setFocus();
}

bool dlg_error_continue::dont_show_again() const
{
    return again_->isChecked();
}

void dlg_error_continue::set_dont_show_again(bool on)
{
    again_->setChecked(on);
}

void dlg_error_continue::reject()
{
    done(continue_result);
}
