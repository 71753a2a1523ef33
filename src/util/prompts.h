#pragma once
// The one seam through which the program talks to the user in modal boxes
// and pickers. The window program answers with real Qt dialogs, the tests
// with scripted answers, the headless converter on the terminal.

#include <string>

namespace quillmere {

enum class BoxIcon { None, Information, Question, Exclamation, Critical };

class Prompts {
public:
    virtual ~Prompts() = default;
    // A box with a single OK button. Texts with several lines are joined by "\r\n".
    virtual void message(const std::u16string& text, BoxIcon icon,
                         const std::u16string& title = u"Quillmere") = 0;
    // A Yes/No question with the question-mark icon and Yes as the default.
    virtual bool confirm(const std::u16string& text,
                         const std::u16string& title = u"Quillmere") = 0;
    // A folder picker: the chosen path, without a trailing separator except
    // for the root, or the empty string when cancelled.
    virtual std::u16string browseForFolder(const std::u16string& title) = 0;
};

}  // namespace quillmere
