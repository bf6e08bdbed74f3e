#include "welcome_page.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "tk_exception.h"
#include "tk_logger.h"
#include "wizard_backend.h"
#include "wizard_paths.h"
#include "wizard_services.h"
#include "wizard_shell.h"

QString wizard_profile_filter(const QString& ext)
{
    if (ext.size() != 3) TK_FAIL();
    return QString("Profile Files (*.%1);;All files (*)").arg(ext);
}

welcome_page::welcome_page(wizard_backend& backend, QWidget* parent) : QWizardPage(parent), backend_(backend)
{
    auto* title = new QLabel("Welcome to the Database\nConversion Wizard\n");
    title->setTextFormat(Qt::PlainText);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    auto* text = new QLabel("This wizard helps you move MS Access database to\n"
                            "Oracle server. Click 'Next' to continue.\n\n"
                            "WARNING: conversion productivity strongly depends\n"
                            "on amount of available memory. It is recommended that\n"
                            "you exit all programs before continue with the wizard.");
    text->setTextFormat(Qt::PlainText);
    auto* load = new QPushButton("&Load Settings");
    // Enter stays Next on every page: page buttons are never the default.
    load->setAutoDefault(false);
    load->setObjectName("load_settings");
    connect(load, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_load_settings(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addStretch();
    layout->addWidget(load, 0, Qt::AlignLeft);
}

void welcome_page::on_load_settings()
{
    QString chosen = wizard_services::current().open_file(this, "Select Profile File", wizard_profile_filter("tlv"),
                                                          wizard_dialog_start(QString()));
    if (chosen.isEmpty()) return;
    QString path = wizard_expand_path(chosen);
    tk_trace(2, "welcome_page::on_load_settings(%s)", path.toStdString());
    backend_.load_profile(path.toStdU16String());
}
