#include "calls/callcontrol.h"
#include "core/configfile.h"
#include "desktop/mainmenu.h"
#include "desktop/statuspanels.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tservmainform.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "runtime/servercore.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/servercoretest.h"
#include "tests/support/triggeraction.h"
#include "workstation/serverlistener.h"

#include <QAction>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The main window's call commands, driven through its menu, with a scripted modem on COM1.
class MainFormCallsTest : public ServerCoreTest
{
protected:
    void SetUp() override
    {
        pacing.setScale(0.02);
        ASSERT_TRUE(modem.linkAs(dir.path(), 1));
        // The run dials only numbers the allow list allows; the first show loads it.
        dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        TServerConfig config = TServerConfig::defaults(dir.path());
        config.ComPort = 0;
        config.ComPortSpeed = 6;
        config.FlowControl = 0;
        config.Port = freeLoopbackPort();
        ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), config, prompts));
        window = std::make_unique<TServMainForm>(core, prompts);
        window->calls().OMXPage1().setPacing(pacing);
        core.listener().setPacing(pacing);
        window->Timer1()->stop();
        window->show(); // first show: configuration loaded, queue counted from 0
    }
    void TearDown() override { window.reset(); }

    void queueMessage(const QByteArray& pin, const QByteArray& company = "5551234")
    {
        QueueEntry entry;
        entry.message = "Hello " + pin;
        entry.pin = pin;
        entry.sender = "127.0.0.1";
        entry.addressee = "To " + pin;
        ASSERT_TRUE(core.queue().add({{company, CompanyLineSettings{}, entry}}));
    }
    QList<QByteArray> deliveredPins() const
    {
        QList<QByteArray> pins;
        for (const ScriptedModem::Block& block : modem.blocks())
            pins.append(block.pin);
        return pins;
    }

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

    EXPECT_FALSE(window->calls().OMXPage1().PortOpen());
    EXPECT_TRUE(modem.blocks().isEmpty());
    EXPECT_EQ(core.queuedCount(), 1) << "a call cancelled while dialling keeps its messages";
}

TEST_F(MainFormCallsTest, ClosingWithMessagesQueuedAnsweredYesSendsThemBeforeTheQueueGoes)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), true);

    triggerAction(window->menu().ShutDown1());

    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(modem.blocks().size(), 1);
    EXPECT_FALSE(core.listener().Sock1().Listen());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(prompts.scriptDone());
}

TEST_F(MainFormCallsTest, ClosingWithMessagesQueuedAnsweredNoDropsThemUnsent)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), false);

    triggerAction(window->menu().ShutDown1());

    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(modem.commands().isEmpty());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

// Shut Down from the menu during the first of two companies' calls, at three points of the
// call and with both answers to "Send Queued Messages Firest?".
enum class Phase { Dialling, FirstBlock, HangUpPause };
struct CloseCase
{
    const char* name;
    Phase phase;
    bool sendFirst;
    QList<QByteArray> delivered; // in order; each page at most once
};

class ShutDownDuringRun : public MainFormCallsTest, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(ShutDownDuringRun, TheQueueOutlivesTheRunAndTheWindowClosesAfterIt)
{
    const CloseCase& c = GetParam();
    queueMessage("1111111", "5550001");
    queueMessage("2222222", "5550001");
    queueMessage("3333333", "5550002");
    bool closeRequested = false;
    int blocksAtClose = -1;
    const auto shutDown = [&] {
        if (closeRequested)
            return;
        closeRequested = true;
        blocksAtClose = int(modem.blocks().size());
        triggerAction(window->menu().ShutDown1());
    };
    if (c.phase == Phase::Dialling)
        modem.setOnDial([&](const QByteArray&) { shutDown(); });
    if (c.phase == Phase::FirstBlock)
        modem.setOnBlock([&](const ScriptedModem::Block&) { shutDown(); });
    if (c.phase == Phase::HangUpPause) {
        // Comes in the pause after the first company's hang-up: the line is closed by then.
        QObject::connect(&core, &ServerCore::transmitLogAdded, window.get(), [&](const QString& l) {
            if (l.endsWith(QStringLiteral("Disconnecting...")))
                QTimer::singleShot(0, window.get(), shutDown);
        });
    } else {
        prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), true);
    }
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), c.sendFirst);

    triggerAction(window->menu().SendNow1());

    ASSERT_TRUE(closeRequested);
    EXPECT_TRUE(prompts.scriptDone());
    EXPECT_TRUE(window->isVisible()) << "the window closed before the run was over";
    EXPECT_EQ(deliveredPins(), c.delivered);
    EXPECT_EQ(modem.dialled().contains("5550002"), c.sendFirst);
    if (!c.sendFirst) {
        // The run stopped: nothing was tried after the answer but the page then in hand.
        EXPECT_LE(modem.blocks().size(), blocksAtClose + 1);
        EXPECT_FALSE(prompts.shown().join(u'|').contains(QStringLiteral("To 2222222")));
    }
    TTimeCounter counter;
    counter.setTimeOut(30);
    counter.Start();
    EXPECT_TRUE(waitUntil(counter, [&] { return !window->isVisible(); }));
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_FALSE(core.listener().Sock1().Listen());
    EXPECT_EQ(modem.dialled().count("5550001"), 1);
    if (c.sendFirst) {
        EXPECT_EQ(window->TransmitLog()->lines().mid(window->TransmitLog()->lines().size() - 4),
                  (QStringList{QStringLiteral("--------------------------"), QString(),
                               QStringLiteral("--------------------------"), QString()}));
    }
}

const QList<QByteArray> kAll{"1111111", "2222222", "3333333"};
const QList<QByteArray> kFirstCompany{"1111111", "2222222"};

INSTANTIATE_TEST_SUITE_P(
    Interleavings, ShutDownDuringRun,
    ::testing::Values(CloseCase{"DiallingSendFirst", Phase::Dialling, true, kAll},
                      CloseCase{"DiallingGiveUp", Phase::Dialling, false, {}},
                      CloseCase{"FirstBlockSendFirst", Phase::FirstBlock, true, kAll},
                      CloseCase{"FirstBlockGiveUp", Phase::FirstBlock, false, {"1111111"}},
                      CloseCase{"HangUpPauseSendFirst", Phase::HangUpPause, true, kAll},
                      CloseCase{"HangUpPauseGiveUp", Phase::HangUpPause, false, kFirstCompany}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

} // namespace
