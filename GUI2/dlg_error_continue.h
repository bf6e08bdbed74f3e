// An error met while copying rows: "Continue" (the default: Enter and
// Escape choose it), "Abort" and "Do not show this dialog box again".
#pragma once

#include <QDialog>

class QCheckBox;

class dlg_error_continue : public QDialog {
    Q_OBJECT
public:
    static constexpr int abort_result = 1;
    static constexpr int continue_result = 2;

    explicit dlg_error_continue(const QString& text, QWidget* parent = nullptr);

    bool dont_show_again() const;
    void set_dont_show_again(bool on);

    void reject() override;  // Escape continues

private:
    QCheckBox* again_;
};
