// Step 3: the MS Access database, its password and the conversion options.
// Next opens the database once (on a worker thread) before going on.
#pragma once

#include <QWizardPage>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;
class wizard_backend;

class sel_file_page : public QWizardPage {
    Q_OBJECT
public:
    explicit sel_file_page(wizard_backend& backend, QWidget* parent = nullptr);

    void initializePage() override;
    bool validatePage() override;

    void on_use_pwd();
    void on_browse();

private:
    void store_file_info();
    bool check_source();

    wizard_backend& backend_;
    QLineEdit* file_;
    QCheckBox* use_pwd_;
    QLineEdit* password_;
    QCheckBox* tab_def_;
    QCheckBox* skip_idx_;
    QCheckBox* uppercase_;
    QButtonGroup* mode_;
    QSpinBox* codepage_;
};
