// Step 2: MS Access user-level security. The check box decides whether the
// workgroup file, user and password are used; the fields are checked only
// when it is ticked.
#pragma once

#include <QWizardPage>

class QCheckBox;
class QLineEdit;
class QPushButton;
class wizard_backend;

class ugl_page : public QWizardPage {
    Q_OBJECT
public:
    explicit ugl_page(wizard_backend& backend, QWidget* parent = nullptr);

    void initializePage() override;
    bool validatePage() override;

    void on_use_ugl();
    void on_browse();

private:
    bool check_fields();
    void enable_fields(bool on);

    wizard_backend& backend_;
    QLineEdit* file_;
    QPushButton* browse_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* use_ugl_;
};
