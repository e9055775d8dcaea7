#include "foundation/pacing.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/callcontrol.h"
#include "queue/messagequeuefile.h"
#include "server/configfile.h"
#include "server/servercore.h"
#include "server/serverlistener.h"
#include "server/ui/mainmenu.h"
#include "server/ui/statuspanels.h"
#include "server/ui/tconnectionlogform.h"
#include "server/ui/tservmainform.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QAction>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The main window's call commands, driven through its menu, with a scripted modem on COM1.
class MainFormCallsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Pacing::setScale(0.02);
        ASSERT_TRUE(modem.linkAs(dir.path(), 1));
        TServerConfig config = TServerConfig::defaults(dir.path());
        config.ComPort = 0;
        config.ComPortSpeed = 6;
        config.FlowControl = 0;
        config.Port = freeLoopbackPort();
        ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), config, prompts));
        window = std::make_unique<TServMainForm>(core, prompts);
        window->Timer1()->stop();
        window->show(); // first show: configuration loaded, queue counted from 0
    }
    void TearDown() override
    {
        window.reset();
        Pacing::setScale(1.0);
    }

    void queueMessage(const QByteArray& pin)
    {
        MessageQueueFile queue(core.dataFile(QStringLiteral("Message.Dat")));
        QueueEntry entry;
        entry.message = "Hello " + pin;
        entry.pin = pin;
        entry.sender = "127.0.0.1";
        MessageQueueFile::LineSettings settings;
        settings.length = "80";
        queue.writeSubmission("5551234", settings, *queue.nextFreeMessageKey("5551234"), entry);
        core.setQueuedCount(core.queuedCount() + 1);
    }

    TempDataDir dir;
    ScriptedPrompts prompts;
    ServerCore core{dir.path(), prompts};
    ScriptedModem modem;
    std::unique_ptr<TServMainForm> window;
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

    window->menu().SendNow1()->trigger();

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
    modem.setOnDial([&](const QByteArray&) { window->menu().CancelCall1()->trigger(); });

    window->menu().SendNow1()->trigger();

    EXPECT_FALSE(window->calls().OMXPage1().PortOpen());
    EXPECT_TRUE(modem.blocks().isEmpty());
    EXPECT_EQ(core.queuedCount(), 1) << "a call cancelled while dialling keeps its messages";
}

TEST_F(MainFormCallsTest, ClosingWithMessagesQueuedAnsweredYesSendsThemBeforeTheQueueGoes)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), true);

    window->menu().ShutDown1()->trigger();

    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(modem.blocks().size(), 1);
    EXPECT_FALSE(core.listener().Sock1().Listen());
    EXPECT_FALSE(dir.exists(QStringLiteral("Message.Dat")));
    EXPECT_TRUE(prompts.scriptDone());
}

TEST_F(MainFormCallsTest, ClosingWithMessagesQueuedAnsweredNoDropsThemUnsent)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), false);

    window->menu().ShutDown1()->trigger();

    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(modem.commands().isEmpty());
    EXPECT_FALSE(dir.exists(QStringLiteral("Message.Dat")));
}

} // namespace
