#include "app/window_parts.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillmere {

RectangleShape::RectangleShape(QWidget* parent, std::optional<QColor> fill, QColor border)
    : QWidget(parent), fill_(fill), border_(border)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void RectangleShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (fill_)
        p.fillRect(rect(), *fill_);
    p.setPen(border_);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

PictureBox::PictureBox(QWidget* parent, QPixmap picture) : QWidget(parent), picture_(std::move(picture))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
}

void ClickableLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

}  // namespace quillmere
