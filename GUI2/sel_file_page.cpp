#include "sel_file_page.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "tk_error_converter.h"
#include "tk_error_tables.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "wizard_backend.h"
#include "wizard_paths.h"
#include "wizard_services.h"
#include "wizard_shell.h"
#include "wizard_worker.h"

namespace {

QCheckBox* check_box(const char* text, const char* name)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(name);
    return box;
}

}  // namespace

sel_file_page::sel_file_page(wizard_backend& backend, QWidget* parent) : QWizardPage(parent), backend_(backend)
{
    setTitle("Step 3 of 5");
    setSubTitle("Conversion Settings");
    auto* intro = new QLabel("On this page you can specify source database name and conversion settings.");
    intro->setTextFormat(Qt::PlainText);
    file_ = new QLineEdit;
    file_->setObjectName("file");
    auto* file_label = new QLabel("MS &Access database name:");
    file_label->setBuddy(file_);
    auto* browse = new QPushButton("&Browse...");
    browse->setAutoDefault(false);  // Enter stays Next
    browse->setObjectName("browse");
    use_pwd_ = check_box("&Use password:", "use_pwd");
    password_ = new QLineEdit;
    password_->setObjectName("password");
    password_->setMaxLength(260);
    password_->setEchoMode(QLineEdit::Password);
    tab_def_ = check_box("&Convert table definitions only", "tab_def");
    skip_idx_ = check_box("S&kip converting indexes", "skip_idx");
    uppercase_ = check_box("&Make names uppercase", "uppercase");

    // Access 97 files record the code page of the machine that wrote them
    // wrongly more often than not; their text is read in the one named here.
    codepage_ = new QSpinBox;
    codepage_->setObjectName("jet3_codepage");
    codepage_->setRange(0, 65535);
    codepage_->setSpecialValueText("as the file says");
    auto* codepage_label = new QLabel("Access 97 text code pa&ge:");
    codepage_label->setBuddy(codepage_);

    auto* modes = new QGroupBox(" How to process existing tables: ");
    auto* mode_layout = new QVBoxLayout(modes);
    mode_ = new QButtonGroup(this);
    const char* captions[] = {"&Overwrite", "&Skip", "M&erge", "S&ynchronize"};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(captions[i]);
        radio->setObjectName(QString("mode%1").arg(i + 1));
        mode_->addButton(radio, i + 1);
        mode_layout->addWidget(radio);
    }

    auto* grid = new QGridLayout;
    grid->addWidget(file_label, 0, 0, 1, 2);
    grid->addWidget(file_, 1, 0);
    grid->addWidget(browse, 1, 1);
    grid->addWidget(use_pwd_, 2, 0, 1, 2);
    grid->addWidget(password_, 3, 0);
    auto* options = new QVBoxLayout;
    options->addWidget(tab_def_);
    options->addWidget(skip_idx_);
    options->addWidget(uppercase_);
    options->addStretch();
    auto* codepage_row = new QHBoxLayout;
    codepage_row->addWidget(codepage_label);
    codepage_row->addWidget(codepage_);
    options->addLayout(codepage_row);
    auto* lower = new QHBoxLayout;
    lower->addLayout(options);
    lower->addWidget(modes);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addLayout(lower);
    layout->addStretch();

    connect(use_pwd_, &QCheckBox::toggled, this, [this] { wizard_shell::guard([this] { on_use_pwd(); }); });
    connect(browse, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_browse(); }); });
}

void sel_file_page::initializePage()
{
    tk_trace(1, "sel_file_page::page_init");
    const wizard_settings& s = backend_.settings();
    use_pwd_->setChecked(!s.acc_pswd.empty());
    password_->setText(QString::fromStdU16String(s.acc_pswd));
    password_->setEnabled(use_pwd_->isChecked());
    tab_def_->setChecked(s.tab_def);
    skip_idx_->setChecked(s.skip_idx);
    uppercase_->setChecked(s.uppercase);
    file_->setText(wizard_expand_path(QString::fromStdU16String(s.src)));
    mode_->button(std::clamp(s.mode, 1, 4))->setChecked(true);
    codepage_->setValue(s.jet3_codepage);
}

void sel_file_page::on_use_pwd()
{
    tk_trace(1, "sel_file_page::on_use_pwd");
    password_->setEnabled(use_pwd_->isChecked());
}

void sel_file_page::on_browse()
{
    QString chosen = wizard_services::current().open_file(this, "Select MS Access database to convert",
                                                          "MS Access databases (*.mdb *.accdb);;All files (*)",
                                                          wizard_dialog_start(file_->text()));
    if (!chosen.isEmpty()) file_->setText(chosen);
}

void sel_file_page::store_file_info()
{
    tk_trace(1, "sel_file_page::store_file_info");
    wizard_settings& s = backend_.settings();
    s.tab_def = tab_def_->isChecked();
    s.skip_idx = skip_idx_->isChecked();
    s.uppercase = uppercase_->isChecked();
    s.src = wizard_expand_path(file_->text()).toStdU16String();
    s.acc_pswd = use_pwd_->isChecked() ? password_->text().toStdU16String() : std::u16string();
    s.jet3_codepage = codepage_->value();
    int mode = mode_->checkedId();
    if (mode >= 1) {
        tk_trace(1, "udb_converter::set_mode(%d)", mode);
        s.mode = mode;
    }
}

bool sel_file_page::validatePage()
{
    bool go_on = false;
    wizard_shell::guard([&] {
        store_file_info();
        go_on = check_source();
    });
    return go_on;
}

bool sel_file_page::check_source()
{
    const wizard_settings& s = backend_.settings();
    if (s.src.empty()) {
        wizard_shell::message("You should enter MS Access database name");
        return false;
    }
    QFileInfo file(QString::fromStdU16String(s.src));
    if (!file.isFile() || !file.isReadable()) {
        wizard_shell::error("Source file does not exist.\nPlease verify the correct path was given.");
        return false;
    }
    try {
        wizard_run_off_gui(wizard(), [this] { backend_.check_acc_base(); });
    } catch (const tk_exception& e) {
        if (e.level == 2) throw;
        tk_error_converter map(tk_access_error_count, tk_access_errors);
        std::string text = map.convert(e.code);
        if (text.empty()) text = e.message;
        wizard_shell::error(QString::fromLocal8Bit(text.c_str()));
        return false;
    }
    return true;
}
