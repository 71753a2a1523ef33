#include "app/hint_window.h"

#include <QPainter>
#include <QStyle>

#include "app/artwork.h"
#include "app/twips.h"

namespace quillmere {

tipFrm::tipFrm(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      picture_(HintPicture())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral(" Show Hidden Files in Windows 7"));
    setWindowIcon(HintWindowIcon());
    setWindowModality(Qt::NonModal);
    setFixedSize(PixelsFromTwips(8685), PixelsFromTwips(4410));
}

void tipFrm::centreOver(const QWidget& owner)
{
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), owner.geometry()));
}

void tipFrm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

}  // namespace quillmere
