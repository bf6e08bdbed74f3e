// Shown while the Oracle page connects: a turning icon (eight frames, one
// every 500 ms) and "Connecting to Oracle server. Please wait...". It has
// no caption and cannot be closed by the user: only the end of the work
// closes it.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

class connecting_dialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int frame_count = 8;
    static constexpr int frame_ms = 500;

    explicit connecting_dialog(QWidget* parent = nullptr);

    int frame() const { return frame_; }
    void reject() override;  // Escape and the window manager's close do nothing

private:
    void show_frame();

    QLabel* icon_;
    QTimer timer_;
    int frame_ = 0;
};
