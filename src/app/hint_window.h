#pragma once
// tipFrm: the hint on making hidden folders visible, a fixed picture in a
// small window owned by the main window. At most one exists; closing it
// destroys it.

#include <QImage>
#include <QWidget>

namespace quillmere {

class tipFrm : public QWidget {
    Q_OBJECT
public:
    explicit tipFrm(QWidget* owner);
    const QImage& picture() const { return picture_; }
    // Places the window's client area centred over the owner's.
    void centreOver(const QWidget& owner);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage picture_;
};

}  // namespace quillmere
