#include "desktop/contexthelp.h"
#include "desktop/helpviewer.h"
#include "desktop/helpwindow.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/widgetprompts.h"
#include "desktop/zelkorapplication.h"
#include "foundation/errors.h"
#include "tests/support/modalanswer.h"
#include "tests/support/scriptedprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <stdexcept>

#include <gtest/gtest.h>

namespace {

TEST(StandardErrorBox, ExceptionsLeavingAHandlerAreShownAndSwallowed)
{
    ScriptedPrompts prompts;
    EXPECT_FALSE(ZelkorApplication::guarded(
        &prompts, []() -> bool { throw EConvertError("'x' is not a valid integer value"); }));
    EXPECT_FALSE(ZelkorApplication::guarded(
        &prompts, []() -> bool { throw std::runtime_error("Listen - Socket Already In Use"); }));
    EXPECT_TRUE(ZelkorApplication::guarded(&prompts, [] { return true; }));
    EXPECT_EQ(prompts.shown(),
              (QStringList{QStringLiteral("standard error: 'x' is not a valid integer value"),
                           QStringLiteral("standard error: Listen - Socket Already In Use")}));
}

TEST(HelpPages, EveryTopicTheWindowsNameHasItsOwnPage)
{
    for (int topic : {11, 12, 13, 30, 32, 33, 101, 102, 103, 104, 450}) {
        const QUrl url = HelpViewer::topicUrl(topic);
        EXPECT_NE(url, HelpViewer::contentsUrl()) << "topic " << topic;
        QFile page(QLatin1Char(':') + url.path());
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << "topic " << topic;
        EXPECT_TRUE(page.readAll().contains("<title>")) << "topic " << topic;
    }
    EXPECT_EQ(HelpViewer::topicUrl(9999), HelpViewer::contentsUrl());
}

// Every page built into the program, of whichever part, can be reached from the contents; a
// page added later without a line in the contents fails here.
TEST(HelpPages, TheContentsLinkToEveryPageAndOnlyToPagesThatExist)
{
    QFile contents(QLatin1Char(':') + HelpViewer::contentsUrl().path());
    ASSERT_TRUE(contents.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(contents.readAll());
    QSet<QString> linked;
    static const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)"));
    for (const QRegularExpressionMatch& match : link.globalMatch(text))
        linked.insert(match.captured(1));

    const QStringList pages = QDir(QStringLiteral(":/help"))
                                  .entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    ASSERT_GE(pages.size(), 13) << "the help pages are not all built in";
    for (const QString& page : pages) {
        if (page == QStringLiteral("contents.html"))
            continue;
        EXPECT_TRUE(linked.contains(page)) << "the contents do not link to " << page.toStdString();
    }
    for (const QString& target : linked) {
        EXPECT_TRUE(pages.contains(target))
            << "the contents link to a missing page " << target.toStdString();
    }
}

TEST(HelpPages, OneHelpWindowShowsTheRequestedTopic)
{
    HelpWindow help;
    HelpViewer* viewer = help.showTopic(104);
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->currentSource(), HelpViewer::topicUrl(104));
    EXPECT_EQ(viewer->currentTitle(), QStringLiteral("Options: Shared Directories"));
    EXPECT_EQ(help.showContents(), viewer);
    EXPECT_EQ(viewer->currentSource(), HelpViewer::contentsUrl());
    viewer->close();
}

TEST(ContextHelp, TopicComesFromTheNearestWindowOrMenuItem)
{
    TConnectionLogForm log(QStringLiteral("Transmition Log"), 12);
    EXPECT_EQ(ContextHelp::topicFor(log.Memo1()), 12);
    QWidget bare;
    EXPECT_EQ(ContextHelp::topicFor(&bare), 0);

    QMenu menu;
    ContextHelp::setHelpContext(&menu, 11);
    QAction* users = menu.addAction(QStringLiteral("&Users Lists"));
    ContextHelp::setHelpContext(users, 30);
    QAction* plain = menu.addAction(QStringLiteral("&Settings"));
    EXPECT_EQ(ContextHelp::topicFor(&menu), 11);
    menu.setActiveAction(users);
    EXPECT_EQ(ContextHelp::topicFor(&menu), 30);
    menu.setActiveAction(plain);
    EXPECT_EQ(ContextHelp::topicFor(&menu), 11);
}

// Answers the next message box with `button` and records its icon and text.
std::unique_ptr<ModalAnswer> answerMessageBox(QMessageBox::StandardButton button,
                                              QMessageBox::Icon* icon, QString* text)
{
    return answerModal<QMessageBox>([=](QMessageBox& box) {
        *icon = box.icon();
        *text = box.text();
        box.button(button)->click();
    });
}

TEST(WidgetPrompts, QuestionsAndBoxesAreModalMessageBoxesOfTheirKind)
{
    WidgetPrompts prompts;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    std::unique_ptr<ModalAnswer> answer;
    answer = answerMessageBox(QMessageBox::No, &icon, &text);
    EXPECT_FALSE(prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                                  QStringLiteral("Must Configure Application! Exit?")));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(text, QStringLiteral("Must Configure Application! Exit?"));

    answer = answerMessageBox(QMessageBox::Yes, &icon, &text);
    EXPECT_TRUE(prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                                 QStringLiteral("Connection Active! Terminate?")));
    EXPECT_EQ(icon, QMessageBox::Question);

    answer = answerMessageBox(QMessageBox::Ok, &icon, &text);
    prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                        QStringLiteral("Corupted Configuration File!"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, QStringLiteral("Corupted Configuration File!"));

    answer = answerMessageBox(QMessageBox::Ok, &icon, &text);
    prompts.showError(QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, QStringLiteral("'' is not a valid integer value"));
}

} // namespace
