#include "calls/callcontrol.h"
#include "desktop/mainmenu.h"
#include "desktop/statuspanels.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tservmainform.h"
#include "foundation/ttimecounter.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/smallfilesystem.h"
#include "tests/support/triggeraction.h"
#include "workstation/serverlistener.h"

#include <QAction>
#include <QDateTime>

#include <gtest/gtest.h>

namespace {

// What the window shows of a call and does with its menu during one, with a scripted modem on
// COM1. The calls themselves, and the close during a run at every phase, are the running
// server's (tests/runtime).
class MainFormCallsTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        writeCallingConfig(modem);
        createShown(); // first show: configuration loaded, queue counted from 0
    }

    ScriptedModem modem;
};

TEST_F(MainFormCallsTest, SendNowCallsWithCancelCallEnabledAndEmptiesPanelThree)
{
    queueMessage("1111111");
    bool cancelEnabled = false;
    bool sendNowEnabled = true;
    QString progressShown;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        cancelEnabled = window->menu().CancelCall1()->isEnabled();
        sendNowEnabled = window->menu().SendNow1()->isEnabled();
        progressShown = window->statusPanels().text(3);
    });
    EXPECT_FALSE(window->menu().CancelCall1()->isEnabled());

    triggerAction(window->menu().SendNow1());

    ASSERT_EQ(modem.blocks().size(), 1);
    EXPECT_TRUE(cancelEnabled);
    EXPECT_FALSE(sendNowEnabled);
    EXPECT_FALSE(progressShown.isEmpty()) << "the engine's progress is not shown in panel 3";
    EXPECT_FALSE(window->menu().CancelCall1()->isEnabled());
    EXPECT_TRUE(window->menu().SendNow1()->isEnabled());
    EXPECT_EQ(window->statusPanels().text(3), QString());
    EXPECT_EQ(window->statusPanels().text(1), QStringLiteral("Queued: 0"));
    EXPECT_TRUE(window->TransmitLog()->lines().last().isEmpty());
}

TEST_F(MainFormCallsTest, CancelCallFromTheMenuHangsUpTheRunningCall)
{
    queueMessage("1111111");
    modem.setDialResult("5551234", ScriptedModem::silence());
    modem.setOnDial([&](const QByteArray&) { triggerAction(window->menu().CancelCall1()); });

    triggerAction(window->menu().SendNow1());

    EXPECT_FALSE(runtime.calls().engine().PortOpen());
    EXPECT_TRUE(modem.blocks().isEmpty());
    EXPECT_EQ(core.queuedCount(), 1) << "a call cancelled while dialling keeps its messages";
}

// Shut Down from the menu during a call, answered to send the queue first: the window stays
// until the run is over, then closes by itself.
TEST_F(MainFormCallsTest, ShutDownDuringARunClosesTheWindowOnceTheRunIsOver)
{
    queueMessage("1111111", "5550001");
    queueMessage("2222222", "5550002");
    bool closeRequested = false;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (closeRequested)
            return;
        closeRequested = true;
        triggerAction(window->menu().ShutDown1());
    });
    prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), true);
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), true);

    triggerAction(window->menu().SendNow1());

    ASSERT_TRUE(closeRequested);
    EXPECT_TRUE(prompts.scriptDone());
    EXPECT_TRUE(window->isVisible()) << "the window closed before the run was over";
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
    TTimeCounter counter;
    counter.setTimeOut(30);
    counter.Start();
    EXPECT_TRUE(waitUntil(counter, [&] { return !window->isVisible(); }));
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_FALSE(runtime.listener().Sock1().Listen());
    EXPECT_EQ(window->TransmitLog()->lines().mid(window->TransmitLog()->lines().size() - 4),
              (QStringList{QStringLiteral("--------------------------"), QString(),
                           QStringLiteral("--------------------------"), QString()}));
}

// The data folder's disk fills up while the terminal holds the first of two pages of a call the
// operator started: the standard error box says why, the window and its menu go on, and with
// room again the next check delivers what is left.
class MainFormFullDiskTest : public MainFormCallsTest
{
protected:
    SmallFileSystem disk{512 * 1024, dir.path()};
};

TEST_F(MainFormFullDiskTest, SendNowFailsWithTheErrorBoxAndTheNextCheckDeliversTheRest)
{
    queueMessage("1111111");
    queueMessage("2222222");
    modem.queueBlockReplies({ScriptedModem::silence()});
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (modem.blocks().size() != 1)
            return;
        disk.fill();
        modem.sendRaw(ScriptedModem::ack());
    });

    triggerAction(window->menu().SendNow1());

    const QString failure = QStringLiteral("Unable to write to ") + core.queue().path();
    EXPECT_EQ(modem.blocks().size(), 1);
    EXPECT_TRUE(prompts.shown().contains(QStringLiteral("standard error: ") + failure))
        << prompts.shown().join(u'\n').toStdString();
    EXPECT_TRUE(window->ConnectionLogForm()->lines().contains(QStringLiteral("Send Now Failed: ") +
                                                              failure));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->menu().SendNow1()->isEnabled());
    EXPECT_FALSE(window->menu().CancelCall1()->isEnabled());
    EXPECT_EQ(window->statusPanels().text(1), QStringLiteral("Queued: 2"));

    disk.makeRoom();
    core.setNextCheck(1);
    runtime.tick(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));

    // The page the terminal took before the failure was still queued: it goes out again.
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "1111111", "2222222"}));
    EXPECT_EQ(window->statusPanels().text(1), QStringLiteral("Queued: 0"));
}

} // namespace
