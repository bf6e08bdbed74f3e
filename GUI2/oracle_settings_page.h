// Step 1: the Oracle connection. Next really connects, on a worker thread
// behind the connecting dialog, and goes on only when the logon succeeded.
#pragma once

#include <QWizardPage>

class QLineEdit;
class wizard_backend;

class oracle_settings_page : public QWizardPage {
    Q_OBJECT
public:
    explicit oracle_settings_page(wizard_backend& backend, QWidget* parent = nullptr);

    void initializePage() override;
    bool validatePage() override;

    // Oracle errors after which the help opens at the troubleshooting topic.
    static bool is_listener_error(int oracle_error);

private:
    void store_settings();
    bool connect_server();

    wizard_backend& backend_;
    QLineEdit* server_;
    QLineEdit* database_;
    QLineEdit* port_;
    QLineEdit* user_;
    QLineEdit* password_;
};
