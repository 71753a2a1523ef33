#pragma once
// The real message boxes and folder picker, modal over the owner window.

#include <QPointer>
#include <QWidget>

#include "util/prompts.h"

namespace quillmere {

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* owner) : owner_(owner) {}

    void message(const std::u16string& text, BoxIcon icon,
                 const std::u16string& title = u"Quillmere") override;
    bool confirm(const std::u16string& text, const std::u16string& title = u"Quillmere") override;
    std::u16string browseForFolder(const std::u16string& title) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace quillmere
