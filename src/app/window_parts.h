#pragma once
// The windowless elements of the main window: rectangles, pictures and a
// label that reports clicks. Rectangles and pictures let the mouse through.

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <optional>

namespace quillmere {

class RectangleShape : public QWidget {
    Q_OBJECT
public:
    // A one-pixel border in `border`, filled with `fill` when given.
    RectangleShape(QWidget* parent, std::optional<QColor> fill, QColor border);
    std::optional<QColor> fill() const { return fill_; }
    QColor border() const { return border_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::optional<QColor> fill_;
    QColor border_;
};

// A picture drawn at its natural size from the top-left corner; whatever
// lies outside the widget is cut off.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, QPixmap picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap picture_;
};

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace quillmere
