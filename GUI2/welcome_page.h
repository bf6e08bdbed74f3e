// The first page: what the wizard does, and "Load Settings" to start from
// a saved profile.
#pragma once

#include <QWizardPage>

class wizard_backend;

// The profile file dialog's filters for extension `ext`, which must have
// exactly three characters (else an internal assertion).
QString wizard_profile_filter(const QString& ext);

class welcome_page : public QWizardPage {
    Q_OBJECT
public:
    explicit welcome_page(wizard_backend& backend, QWidget* parent = nullptr);

    void on_load_settings();

private:
    wizard_backend& backend_;
};
