#include "selection/qt_prompts.h"

#include <QMessageBox>
#include <QPushButton>

#include "selection/folder_picker.h"

namespace quillmere {

namespace {

QMessageBox::Icon boxIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::Exclamation: return QMessageBox::Warning;
    case BoxIcon::Critical: return QMessageBox::Critical;
    case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Box texts join their lines with "\r\n"; a label wants "\n" alone.
QString shownText(const std::u16string& text)
{
    QString s = QString::fromStdU16String(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

}  // namespace

void QtPrompts::message(const std::u16string& text, BoxIcon icon, const std::u16string& title)
{
    QMessageBox box(boxIcon(icon), QString::fromStdU16String(title), shownText(text),
                    QMessageBox::Ok, owner_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

bool QtPrompts::confirm(const std::u16string& text, const std::u16string& title)
{
    QMessageBox box(QMessageBox::Question, QString::fromStdU16String(title), shownText(text),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::WindowModal);
    return box.exec() == QMessageBox::Yes;
}

std::u16string QtPrompts::browseForFolder(const std::u16string& title)
{
    return BrowseForFolder(owner_, QString::fromStdU16String(title)).toStdU16String();
}

}  // namespace quillmere
