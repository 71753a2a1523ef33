#pragma once
// Answers the window's message boxes and pickers from a script and records
// what was asked, so a test can drive the window without real dialogs.

#include <QApplication>
#include <QCursor>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "util/prompts.h"

struct ScriptedPrompts : quillmere::Prompts {
    struct Shown {
        std::u16string text;
        quillmere::BoxIcon icon;
        std::u16string title;
        bool busyCursor;  // whether the busy cursor was up while it showed
    };

    std::vector<Shown> messages;
    std::vector<std::u16string> questions;
    std::vector<std::u16string> pickerTitles;
    std::deque<bool> answers;                 // for confirm(); No once they run out
    std::deque<std::u16string> folders;       // for browseForFolder(); cancel once they run out
    std::function<void()> whilePickerOpen;    // runs inside browseForFolder()

    void message(const std::u16string& text, quillmere::BoxIcon icon, const std::u16string& title) override
    {
        messages.push_back({text, icon, title, QApplication::overrideCursor() != nullptr});
    }
    bool confirm(const std::u16string& text, const std::u16string& title) override
    {
        questions.push_back(text);
        lastQuestionTitle = title;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::u16string browseForFolder(const std::u16string& title) override
    {
        pickerTitles.push_back(title);
        if (whilePickerOpen)
            whilePickerOpen();
        if (folders.empty())
            return {};
        auto folder = folders.front();
        folders.pop_front();
        return folder;
    }

    std::u16string lastQuestionTitle;
};
