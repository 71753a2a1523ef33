// The real message boxes: title, icon, buttons, default and owner.

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "../app/dialogs.h"
#include "selection/qt_prompts.h"

using quillmere::BoxIcon;
using quillmere::QtPrompts;

namespace {

struct Box {
    QString title, text;
    QMessageBox::Icon icon{};
    QMessageBox::StandardButtons buttons;
    QWidget* owner = nullptr;
    bool modal = false;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* yes = nullptr;
};

class QtPromptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    void answerWith(std::function<void(QMessageBox*)> answer)
    {
        answerNextDialog<QMessageBox>([this, answer](QMessageBox* b) {
            box = {b->windowTitle(), b->text(), b->icon(), b->standardButtons(), b->parentWidget(),
                   b->isModal(), b->defaultButton(), b->button(QMessageBox::Yes)};
            answer(b);
        });
    }

    QWidget owner;
    QtPrompts prompts{&owner};
    Box box;
};

}  // namespace

TEST_F(QtPromptsTest, AQuestionHasYesAndNoWithYesAsTheDefault)
{
    answerWith([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); });
    EXPECT_TRUE(prompts.confirm(u"Do you want to clear all the files in the list\r\n Proceed?"));
    EXPECT_EQ(box.title, QStringLiteral("Quillmere"));
    EXPECT_EQ(box.icon, QMessageBox::Question);
    EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.defaultButton, box.yes);
    EXPECT_EQ(box.owner, &owner);
    EXPECT_TRUE(box.modal);
    // The line break shows as one line break.
    EXPECT_EQ(box.text, QStringLiteral("Do you want to clear all the files in the list\n Proceed?"));
}

TEST_F(QtPromptsTest, NoAndEscapeAnswerNo)
{
    answerWith([](QMessageBox* b) { b->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(prompts.confirm(u"Are you sure you want to exit now?"));
    answerWith([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    EXPECT_FALSE(prompts.confirm(u"Are you sure you want to exit now?"));
}

TEST_F(QtPromptsTest, AMessageHasOneOkButtonAndTheAskedIconAndTitle)
{
    answerWith([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); });
    prompts.message(u"12 Email Messages Found.", BoxIcon::None);
    EXPECT_EQ(box.title, QStringLiteral("Quillmere"));
    EXPECT_EQ(box.text, QStringLiteral("12 Email Messages Found."));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
    EXPECT_EQ(box.owner, &owner);

    answerWith([](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
    prompts.message(u"Outlook Session Creation Error !\r\nCheck if Outlook is installed and configured.",
                    BoxIcon::Information, u"Outlook Error");
    EXPECT_EQ(box.title, QStringLiteral("Outlook Error"));
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.text, QStringLiteral("Outlook Session Creation Error !\nCheck if Outlook is installed and configured."));
}

TEST_F(QtPromptsTest, TextIsShownAsWrittenNotAsMarkup)
{
    answerWith([](QMessageBox* b) {
        const auto labels = b->findChildren<QLabel*>();
        for (QLabel* l : labels) {
            if (l->text().contains(QLatin1String("<b>"))) {
                EXPECT_EQ(l->textFormat(), Qt::PlainText);
            }
        }
        QTest::keyClick(b, Qt::Key_Return);
    });
    prompts.message(u"<b>folder</b>", BoxIcon::Exclamation);
    EXPECT_EQ(box.text, QStringLiteral("<b>folder</b>"));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
}
