#include "desktop/mainmenu.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "pages/notifyrunner.h"
#include "pages/pagessettings.h"
#include "pages/ui/pagekeepingpage.h"
#include "runtime/pagekeeping.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/triggeraction.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

// The options dialog's Page Keeping page on the running server: what OK stores is what the
// server uses from then on.
class PageKeepingWindowTest : public MainWindowTest
{
protected:
    static QLineEdit* entry(TServOptionForm& form, const char* name)
    {
        return form.findChild<QLineEdit*>(QLatin1String(name));
    }

    // A notify command that appends "id state" for each page to a file.
    QByteArray notifyCommand(const QString& out)
    {
        const QString script = dir.file(QStringLiteral("notify.sh"));
        dir.write(QStringLiteral("notify.sh"),
                  "#!/bin/sh\necho \"$ZELKOR_PAGE_ID $ZELKOR_PAGE_STATE\" >> \"$1\"\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return "'" + script.toUtf8() + "' '" + out.toUtf8() + "'";
    }

    QList<QByteArray> linesOf(const QString& path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

    ScriptedModem modem;
};

// Entries that cannot be stored keep the dialog open on the page, with the focus on the entry
// at fault, and store nothing of any page; good ones are written, the running server takes
// them at once, and the notify command set there runs for the next page that is delivered.
TEST_F(PageKeepingWindowTest, OkStoresPagesDatAndTheRunningServerFollowsItAtOnce)
{
    writeCallingConfig(modem, [](TServerConfig& config) { config.QueTime = 5; });
    queueMessage("1111111"); // given its id by the start
    createShown();
    ASSERT_EQ(runtime.pages().settings(), PagesSettings{});
    const QString out = dir.file(QStringLiteral("notified.txt"));
    const QByteArray command = notifyCommand(out);

    QStringList refusals;
    QList<int> topics;
    bool focusedAtFault = false;
    const auto options = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* page = form.findChild<PageKeepingPage*>(QStringLiteral("PageKeepingPage"));
        auto* ok = form.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        ASSERT_TRUE(pages && page && ok);
        pages->setCurrentWidget(page);
        form.setHelpOpener([&](int topic) { topics.append(topic); });
        form.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();

        EXPECT_EQ(entry(form, "KeepDays")->text(), QStringLiteral("30"));
        EXPECT_EQ(entry(form, "MaxAgeHours")->text(), QStringLiteral("0"));
        form.findChild<QLineEdit*>(QStringLiteral("QueTime"))->setText(QStringLiteral("7"));
        entry(form, "KeepDays")->setText(QStringLiteral("7"));
        entry(form, "MaxAgeHours")->setText(QStringLiteral("-1"));
        entry(form, "NotifyCommand")->setText(QString::fromUtf8(command));
        pages->setCurrentIndex(0);
        ok->click();
        refusals.append(prompts.shown().value(prompts.shown().size() - 1));
        EXPECT_TRUE(form.isVisible()) << "OK closed the dialog with a maximum age of -1";
        EXPECT_EQ(pages->currentWidget(), page);
        focusedAtFault = form.focusWidget() == entry(form, "MaxAgeHours");
        EXPECT_FALSE(dir.exists(PagesSettings::FileName)) << "stored behind the box";
        EXPECT_EQ(core.config().QueTime, 5) << "the other pages stored behind the box";

        entry(form, "MaxAgeHours")->setText(QStringLiteral("12"));
        ok->click();
    });
    window->Settings1Click();

    EXPECT_EQ(refusals, QStringList{QStringLiteral(
                            "warning: '-1' is not a valid maximum age: enter a number of hours "
                            "from 0 (no limit) to 8760")});
    EXPECT_TRUE(focusedAtFault);
    EXPECT_EQ(topics, QList<int>{PageKeepingPage::HelpTopic});
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/topic107.html")));
    EXPECT_EQ(core.config().QueTime, 7);
    const PagesSettings expected{7, 12, command};
    QString problem;
    EXPECT_EQ(PagesSettings::read(dir.path(), problem), expected) << problem.toStdString();
    EXPECT_EQ(runtime.pages().settings(), expected) << "the server still runs with the old";

    triggerAction(window->menu().SendNow1());
    ASSERT_EQ(modem.pins(), QList<QByteArray>{"1111111"});
    EXPECT_TRUE(waitFor(
        [&] { return !linesOf(out).isEmpty() && runtime.pages().notifier().running() == 0; }));
    const QList<QByteArray> lines = linesOf(out);
    ASSERT_EQ(lines.size(), 1) << lines.join('|').constData();
    EXPECT_TRUE(lines.first().endsWith(" delivered")) << lines.first().constData();
}

// A Pages.Dat the server cannot use is named on the page, which shows the defaults; an OK that
// changed nothing there leaves the file as it is and asks nothing.
TEST_F(PageKeepingWindowTest, ADamagedFileIsShownAsTheDefaultsAndLeftAsItIs)
{
    writeConfig();
    const QByteArray damaged = "[Pages]\r\nKeepDays=forever\r\nMaxAgeHours=5\r\n";
    dir.write(PagesSettings::FileName, damaged);
    createShown();

    QString note;
    QString keepDays;
    const auto options = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        auto* label = form.findChild<QLabel*>(QStringLiteral("PagesFileNote"));
        ASSERT_NE(label, nullptr);
        // Hidden only while the file can be used; its tab need not be in front.
        note = label->isHidden() ? QString() : label->text();
        keepDays = entry(form, "KeepDays")->text();
        EXPECT_EQ(entry(form, "MaxAgeHours")->text(), QStringLiteral("0"));
        form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    window->Settings1Click();

    EXPECT_TRUE(note.contains(QStringLiteral("Pages.Dat is damaged"))) << note.toStdString();
    EXPECT_TRUE(note.contains(QStringLiteral("defaults are shown"))) << note.toStdString();
    EXPECT_EQ(keepDays, QStringLiteral("30"));
    EXPECT_EQ(dir.read(PagesSettings::FileName), damaged);
    EXPECT_TRUE(prompts.scriptDone());
}

} // namespace
