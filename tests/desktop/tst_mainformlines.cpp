#include "desktop/mainmenu.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "lines/linesfile.h"
#include "lines/ui/linespage.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedtapserver.h"
#include "tests/support/triggeraction.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

// The options dialog's Delivery Lines page on the running server: a route stored there is used
// by the next call, without a restart.
class LinesWindowTest : public MainWindowTest
{
protected:
    ScriptedModem modem;
    ScriptedTapServer tap;
};

TEST_F(LinesWindowTest, OkRefusesBadLinesThenStoresTheRoutesTheNextCallUses)
{
    ASSERT_TRUE(tap.isListening());
    writeCallingConfig(modem);
    queueMessage("1111111", "5557000");
    createShown();
    const QByteArray route = "5557000=tap://127.0.0.1:" + QByteArray::number(tap.port());

    QStringList refusals;
    QList<int> topics;
    QString shownAtOpen = QStringLiteral("not opened");
    const auto options = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* page = form.findChild<LinesPage*>(QStringLiteral("LinesPage"));
        auto* text = form.findChild<QPlainTextEdit*>(QStringLiteral("LinesText"));
        auto* ok = form.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        ASSERT_TRUE(pages && page && text && ok);
        shownAtOpen = text->toPlainText();
        pages->setCurrentWidget(page);
        form.setHelpOpener([&](int topic) { topics.append(topic); });
        form.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();

        text->setPlainText(QStringLiteral("[Routes]\n5557000=tap://127.0.0.1\n"));
        pages->setCurrentIndex(0);
        ok->click();
        refusals.append(prompts.shown().value(prompts.shown().size() - 1));
        EXPECT_TRUE(form.isVisible()) << "OK closed the dialog with a route without a port";
        EXPECT_EQ(pages->currentWidget(), page);
        EXPECT_FALSE(dir.exists(LinesFile::FileName)) << "stored behind the box";

        text->setPlainText(QStringLiteral("[Routes]\n") + QString::fromLatin1(route));
        ok->click();
    });
    window->Settings1Click();

    EXPECT_EQ(shownAtOpen, QString());
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals.first().contains(QStringLiteral("Lines.Dat line 2: ")))
        << refusals.first().toStdString();
    EXPECT_EQ(topics, QList<int>{LinesPage::HelpTopic});
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/topic109.html")));
    EXPECT_EQ(dir.read(LinesFile::FileName), "[Routes]\r\n" + route + "\r\n");

    triggerAction(window->menu().SendNow1());
    EXPECT_TRUE(modem.dialled().isEmpty()) << "the routed number was dialled";
    ASSERT_EQ(tap.terminal().blocks().size(), 1);
    EXPECT_EQ(tap.terminal().blocks().first().pin, "1111111");
}

} // namespace
