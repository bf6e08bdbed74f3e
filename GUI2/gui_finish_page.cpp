#include "gui_finish_page.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "tk_logger.h"
#include "welcome_page.h"
#include "wizard_paths.h"
#include "wizard_services.h"
#include "wizard_settings_store.h"
#include "wizard_shell.h"

run_verdict wizard_run_verdict(const run_outcome& outcome, size_t reported_errors)
{
    switch (outcome.end) {
    case run_outcome::state::stopped: return run_verdict::stopped;
    case run_outcome::state::failed: return run_verdict::failed;
    case run_outcome::state::not_run: return run_verdict::failed;
    case run_outcome::state::completed: break;
    }
    if (reported_errors > 0) return run_verdict::errors;
    if (outcome.entries > 0 && outcome.converted == 0) return run_verdict::nothing_converted;
    return run_verdict::success;
}

gui_finish_page::gui_finish_page(wizard_backend& backend, QWidget* parent) : QWizardPage(parent), backend_(backend)
{
    setFinalPage(true);
    auto* title = new QLabel("Conversion is Completed");
    QFont verdana("Verdana");
    verdana.setPointSize(title->font().pointSize() + 6);
    verdana.setBold(true);
    title->setFont(verdana);
    result_ = new QLabel;
    result_->setObjectName("result");
    result_->setTextFormat(Qt::PlainText);
    result_->setWordWrap(true);
    errors_ = new QPlainTextEdit;
    errors_->setObjectName("errors");
    errors_->setReadOnly(true);
    errors_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    summary_ = new QTreeWidget;
    summary_->setObjectName("summary");
    summary_->setRootIsDecorated(false);
    summary_->header()->setStretchLastSection(false);
    summary_->setHeaderLabels({"Table", "Action", "Inserted", "Updated", "Dropped", "Failed"});
    auto* save = new QPushButton("&Save Settings");
    save->setAutoDefault(false);  // Enter stays Finish
    save->setObjectName("save_settings");
    connect(save, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_save_settings(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(result_);
    layout->addWidget(errors_, 1);
    layout->addWidget(summary_, 1);
    layout->addWidget(save, 0, Qt::AlignLeft);
}

QString gui_finish_page::result_text(run_verdict verdict, const run_outcome& outcome)
{
    switch (verdict) {
    case run_verdict::success:
        return "Wizard has migrated your MS Access database to\nOracle server successfully.\n\n"
               "Click 'Finish' to exit the wizard.";
    case run_verdict::errors:
        return "There were some errors while converting the database.\nClick 'Finish' to exit the wizard.";
    case run_verdict::stopped:
        return QString("The conversion was stopped in table '%1' after record #%2.\n"
                       "The rows loaded before that stay in Oracle.\nClick 'Finish' to exit the wizard.")
            .arg(QString::fromStdU16String(outcome.stop_table))
            .arg(outcome.stop_row);
    case run_verdict::failed:
        return QString("The conversion failed: %1\nClick 'Finish' to exit the wizard.")
            .arg(QString::fromLocal8Bit(outcome.failure.c_str()));
    case run_verdict::nothing_converted: return "No table was converted.\nClick 'Finish' to exit the wizard.";
    }
    return QString();
}

void gui_finish_page::initializePage()
{
    tk_trace(2, "gui_finish_page::page_init");
    const std::vector<std::string>* errors = nullptr;
    if (auto* shell = qobject_cast<wizard_shell*>(wizard())) errors = &shell->reported_errors();
    size_t count = errors != nullptr ? errors->size() : 0;
    const run_outcome& outcome = backend_.outcome();
    run_verdict verdict = wizard_run_verdict(outcome, count);
    tk_trace(2, verdict == run_verdict::success ? "Display success-message" : "Display errors");
    result_->setText(result_text(verdict, outcome));
    QStringList texts;
    for (size_t i = 0; i < count; ++i) texts << QString::fromLocal8Bit((*errors)[i].c_str());
    errors_->setPlainText(texts.join("\n\n"));
    errors_->setVisible(count > 0);
    fill_summary(outcome);
}

void gui_finish_page::fill_summary(const run_outcome& outcome)
{
    summary_->clear();
    for (const table_summary& t : outcome.summary) {
        auto* row = new QTreeWidgetItem(summary_);
        row->setText(0, QString::fromStdU16String(t.name));
        row->setText(1, QString::fromStdU16String(t.action));
        int64_t counts[] = {t.inserted, t.updated, t.dropped, t.failed};
        for (int i = 0; i < 4; ++i) {
            row->setText(2 + i, QString::number(counts[i]));
            row->setTextAlignment(2 + i, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    summary_->setVisible(!outcome.summary.empty());
    summary_->header()->resizeSections(QHeaderView::ResizeToContents);
}

void gui_finish_page::on_save_settings()
{
    QString chosen = wizard_services::current().save_file(this, "Select Profile File", wizard_profile_filter("tlv"),
                                                          wizard_dialog_start(QString()));
    if (chosen.isEmpty()) return;
    QString path = wizard_expand_path(chosen);
    if (QFileInfo(path).suffix().isEmpty()) path += ".tlv";
    bool saved = wizard_write_private(path, [&] { return backend_.store_profile(path.toStdU16String()); });
    if (!saved) wizard_shell::error("The settings could not be saved to " + path + ".");
}
