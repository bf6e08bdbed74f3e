#include "ugl_page.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "tk_logger.h"
#include "wizard_backend.h"
#include "wizard_paths.h"
#include "wizard_services.h"
#include "wizard_shell.h"

namespace {

QString q(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

}  // namespace

ugl_page::ugl_page(wizard_backend& backend, QWidget* parent) : QWizardPage(parent), backend_(backend)
{
    setTitle("Step 2 of 5");
    setSubTitle("MS Access user-level security settings");
    auto* intro = new QLabel("Specify MS Access user-level security settings. Leave all the fields empty\n"
                             "if your database is not protected with MS Access user-level security.");
    intro->setTextFormat(Qt::PlainText);
    use_ugl_ = new QCheckBox("&Database is protected with user-level security");
    use_ugl_->setObjectName("use_ugl");
    file_ = new QLineEdit;
    file_->setObjectName("file");
    browse_ = new QPushButton("&Browse...");
    browse_->setAutoDefault(false);  // Enter stays Next
    browse_->setObjectName("browse");
    user_ = new QLineEdit;
    user_->setObjectName("user");
    user_->setMaxLength(260);
    password_ = new QLineEdit;
    password_->setObjectName("password");
    password_->setMaxLength(260);
    password_->setEchoMode(QLineEdit::Password);

    auto* file_label = new QLabel("Path to &workgroup informtation file:");
    file_label->setBuddy(file_);
    auto* user_label = new QLabel("&User name:");
    user_label->setBuddy(user_);
    auto* password_label = new QLabel("User &password:");
    password_label->setBuddy(password_);

    auto* grid = new QGridLayout;
    grid->addWidget(file_label, 0, 0, 1, 2);
    grid->addWidget(file_, 1, 0);
    grid->addWidget(browse_, 1, 1);
    grid->addWidget(user_label, 2, 0, 1, 2);
    grid->addWidget(user_, 3, 0);
    grid->addWidget(password_label, 4, 0, 1, 2);
    grid->addWidget(password_, 5, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(use_ugl_);
    layout->addLayout(grid);
    layout->addStretch();

    connect(use_ugl_, &QCheckBox::toggled, this, [this] { wizard_shell::guard([this] { on_use_ugl(); }); });
    connect(browse_, &QPushButton::clicked, this, [this] { wizard_shell::guard([this] { on_browse(); }); });
}

void ugl_page::enable_fields(bool on)
{
    file_->setEnabled(on);
    browse_->setEnabled(on);
    user_->setEnabled(on);
    password_->setEnabled(on);
}

void ugl_page::initializePage()
{
    tk_trace(2, "ugl_page::page_init");
    const wizard_settings& s = backend_.settings();
    use_ugl_->setChecked(s.use_ugl);
    enable_fields(s.use_ugl);
    file_->setText(q(s.sysdb_path));
    user_->setText(q(s.ugl_user));
    password_->setText(q(s.ugl_pswd));
}

void ugl_page::on_use_ugl()
{
    tk_trace(1, "ugl_page::on_use_ugl");
    bool on = use_ugl_->isChecked();
    enable_fields(on);
    if (on) file_->setFocus();
}

void ugl_page::on_browse()
{
    QString chosen = wizard_services::current().open_file(this, "Select Workgroup Information File",
                                                          "Workgroup Information Files (*.mdw);;All files (*)",
                                                          wizard_dialog_start(file_->text()));
    if (!chosen.isEmpty()) file_->setText(chosen);
}

bool ugl_page::validatePage()
{
    bool go_on = false;
    wizard_shell::guard([&] {
        backend_.settings().use_ugl = use_ugl_->isChecked();
        // Unticked, the fields are neither used nor stored: the settings
        // keep what they held.
        go_on = !use_ugl_->isChecked() || check_fields();
    });
    return go_on;
}

bool ugl_page::check_fields()
{
    QString file = wizard_expand_path(file_->text());
    backend_.store_ugl_settings(file.toStdU16String(), user_->text().toStdU16String(),
                                password_->text().toStdU16String());
    const wizard_settings& s = backend_.settings();
    if (!s.sysdb_path.empty()) {
        if (!QFileInfo(file).isFile()) {
            wizard_shell::error(
                "Workgroup information file does not exist.\nPlease verify the correct path was given.");
            return false;
        }
        if (!backend_.is_workgroup_file(s.sysdb_path)) {
            wizard_shell::error("The file does not comply with MS Access workgroup information\n"
                                "file format. Leave all the fields empty on this wizard page if your\n"
                                "database is not protected with MS Access user-level security.");
            return false;
        }
        if (s.ugl_user.empty()) {
            wizard_shell::message("You should enter user name");
            return false;
        }
    } else if (!s.ugl_user.empty()) {
        wizard_shell::message("You should enter path to MS Access workgroup information file");
        return false;
    }
    return true;
}
