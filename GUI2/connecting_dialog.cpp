#include "connecting_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

connecting_dialog::connecting_dialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::FramelessWindowHint)
{
    setModal(true);
    icon_ = new QLabel;
    icon_->setFixedSize(32, 32);
    auto* text = new QLabel("Connecting to Oracle server.\nPlease wait...");
    text->setTextFormat(Qt::PlainText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->addWidget(icon_);
    layout->addWidget(text);
    show_frame();
    timer_.setInterval(frame_ms);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % frame_count;
        show_frame();
    });
    timer_.start();
}

void connecting_dialog::reject()
{
    // The connection cannot be abandoned half-way: the worker owns it.
}

void connecting_dialog::show_frame()
{
    // A ring of eight dots; the one of the current frame is drawn darkest.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(16, 16);
    for (int i = 0; i < frame_count; ++i) {
        int age = (frame_ - i + frame_count) % frame_count;
        p.setBrush(QColor(30, 80, 160, 255 - age * 28));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(0, -11), 3.5, 3.5);
        p.rotate(360.0 / frame_count);
    }
    p.end();
    icon_->setPixmap(pixmap);
}
