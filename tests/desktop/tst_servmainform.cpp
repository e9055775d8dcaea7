#include "core/configfile.h"
#include "desktop/mainmenu.h"
#include "desktop/statuspanels.h"
#include "desktop/taboutbox.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/triggeraction.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

class MainFormTest : public MainWindowTest
{
protected:
    void writeConfig(qint32 queTime)
    {
        MainWindowTest::writeConfig([&](TServerConfig& config) { config.QueTime = queTime; });
    }
};

TEST_F(MainFormTest, FrameMenuAndStatusBarAsLoaded)
{
    create();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zelkor LAN Server Ver. 1.0"));
    EXPECT_EQ(window->size(), QSize(435, 300));

    struct Item
    {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    const Item items[] = {{"SendNow1", "Send &Now", "Ctrl+N"},
                          {"CancelCall1", "&Cancel Call", "Ctrl+C"},
                          {"ClearMsgQueue1", "Clear Msg. &Queue", "Ctrl+Q"},
                          {"SendTestMsg1", "&Send Test Msg.", "Ctrl+T"},
                          {"ShowIPAddress1", "&Show IP Address", "Ctrl+I"},
                          {"LogViewer1", "&Log Viewer", "Ctrl+L"},
                          {"AccessBlockList1", "&Access Number Allow List", "Ctrl+A"},
                          {"Settings1", "&Settings", "Ctrl+S"},
                          {"ShutDown1", "&Shut Down", "Ctrl+X"},
                          {"Users1", "&Users Lists", "Ctrl+U"},
                          {"Groups1", "&Groups Lists", "Ctrl+G"},
                          {"PagingCompanies1", "&Paging Companies", "Ctrl+P"},
                          {"Contents1", "&Contents", ""},
                          {"About1", "&About", ""}};
    for (const Item& item : items) {
        QAction* a = action(item.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), QLatin1String(item.caption)) << item.name;
        EXPECT_EQ(a->shortcut().toString(), QLatin1String(item.shortcut)) << item.name;
    }
    EXPECT_FALSE(action("CancelCall1")->isEnabled());
    EXPECT_TRUE(action("SendNow1")->isEnabled());
    EXPECT_EQ(action("Users1")->property("helpContext").toInt(), 30);
    EXPECT_EQ(action("Groups1")->property("helpContext").toInt(), 32);
    EXPECT_EQ(action("PagingCompanies1")->property("helpContext").toInt(), 33);
    EXPECT_EQ(window->menu().File1()->property("helpContext").toInt(), 11);
    EXPECT_EQ(window->menu().File1()->title(), QStringLiteral("&File"));
    EXPECT_EQ(window->menu().SharedLists1()->title(), QStringLiteral("&Shared Lists"));

    // The first three panels at least as wide as specified, wider where the desktop's font
    // needs it; the progress panel takes what is left once the window is shown.
    const int widths[] = {125, 75, 83, 0};
    const QString texts[] = {QString(), QStringLiteral("Queued: 0"),
                             QStringLiteral("Next Check: 0"), QString()};
    for (int i = 0; i < 4; ++i) {
        auto* panel = window->statusBar()->findChild<QLabel*>(QStringLiteral("Panel%1").arg(i));
        ASSERT_NE(panel, nullptr);
        EXPECT_GE(panel->width(), widths[i]);
        EXPECT_GE(panel->minimumWidth(), widths[i]);
        EXPECT_EQ(panel->text(), texts[i]);
    }
    ASSERT_NE(window->ConnectionLogForm(), nullptr);
    EXPECT_EQ(window->ConnectionLogForm()->windowTitle(), QStringLiteral("Connection Log"));
    EXPECT_EQ(window->TransmitLog(), nullptr);
}

TEST_F(MainFormTest, FirstShowLoadsTheConfigurationAndKeepsTheQueueLeftByAKill)
{
    writeConfig(7);
    // Two accepted pages for one company and one for another; an emptied key is no message.
    const QByteArray left = "[555]\r\nPassword=\r\nMSG1=old\r\nMSG2=\r\nMSG3=older\r\n"
                            "[777]\r\nMSG9=x\r\n";
    // The count of the run that was killed does not matter: the file decides.
    const QueueSubmission page{"555", {}, {"m", "", "1", "127.0.0.9", "i"}};
    ASSERT_TRUE(core.queue().add(QList<QueueSubmission>(5, page)));
    dir.write(MessageQueueFile::FileName, left);
    create();
    window->show();
    EXPECT_EQ(dir.read(MessageQueueFile::FileName), left);
    EXPECT_EQ(core.queuedCount(), 3);
    EXPECT_TRUE(
        core.connectionLog().contains(QStringLiteral("Queued messages kept from the last run: 3")));
    EXPECT_EQ(window->statusPanels().text(StatusPanels::Queued), QStringLiteral("Queued: 3"));
    ASSERT_NE(window->TransmitLog(), nullptr);
    EXPECT_EQ(window->TransmitLog()->windowTitle(), QStringLiteral("Transmition Log"));
    EXPECT_EQ(core.config().QueTime, 7);
    EXPECT_EQ(core.nextCheck(), 7);
    EXPECT_EQ(window->statusPanels().text(StatusPanels::NextCheck),
              QStringLiteral("Next Check: 7"));
    EXPECT_FALSE(window->statusPanels().text(StatusPanels::Clock).isEmpty());
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(MainFormTest, FirstStartShowsTheOptionsDialogAndOkWritesServerDat)
{
    create();
    const auto options = answerModal<TServOptionForm>([](TServOptionForm& form) {
        form.findChild<QLineEdit*>(QStringLiteral("QueTime"))->setText(QStringLiteral("9"));
        form.findChild<QLineEdit*>(QStringLiteral("Port"))->setText(QStringLiteral("6100"));
        form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    });
    window->show();
    const QByteArray record = dir.read(ConfigFile::FileName);
    ASSERT_EQ(record.size(), 944);
    const TServerConfig saved = TServerConfig::fromRecord(record);
    EXPECT_EQ(saved.QueTime, 9);
    EXPECT_EQ(saved.Port, "6100");
    EXPECT_EQ(saved.ModemType, "Generic Modem");
    EXPECT_EQ(saved.InitString, "ATE1V1&M0");
    EXPECT_EQ(saved.ComPortSpeed, 4);
    EXPECT_EQ(saved.UserFile, (dir.path() + QStringLiteral("/sUser.Dat")).toLocal8Bit());
    EXPECT_EQ(core.nextCheck(), 9);
}

TEST_F(MainFormTest, FirstStartCancelledAndExitEndsTheProgram)
{
    create();
    int exitRequested = 0;
    QObject::connect(window.get(), &TServMainForm::applicationExitRequested,
                     [&] { ++exitRequested; });
    prompts.expectQuestion(QStringLiteral("Must Configure Application! Exit?"), true);
    const auto options = answerModal<TServOptionForm>([](TServOptionForm& form) {
        form.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
    });
    window->show();
    EXPECT_EQ(exitRequested, 1);
    EXPECT_FALSE(dir.exists(ConfigFile::FileName));
}

TEST_F(MainFormTest, LogWindowsMirrorTheServerLogs)
{
    writeConfig(5);
    // Without the file the log would begin with a line saying that nothing is allowed.
    dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    core.addTransmitLog(QStringLiteral("before show"));
    create();
    window->show();
    core.addConnectionLog(QStringLiteral("Message Received From: 10.0.0.5"));
    core.addTransmitLog(QStringLiteral("after show"));
    EXPECT_EQ(window->ConnectionLogForm()->lines(),
              QStringList{QStringLiteral("Message Received From: 10.0.0.5")});
    EXPECT_EQ(window->TransmitLog()->lines(),
              (QStringList{QStringLiteral("before show"), QStringLiteral("after show")}));
    EXPECT_TRUE(window->TransmitLog()->Memo1()->isReadOnly());
    runtime.tick(QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)));
    EXPECT_TRUE(window->ConnectionLogForm()->lines().isEmpty());
    EXPECT_TRUE(window->TransmitLog()->lines().isEmpty());
    EXPECT_EQ(window->statusPanels().text(StatusPanels::NextCheck),
              QStringLiteral("Next Check: 4"));
}

// A server that takes pages all day between two runs keeps only the newest lines of each live
// log, in memory and in its window.
TEST_F(MainFormTest, LiveLogsKeepTheirNewestLinesWithinABound)
{
    writeConfig(5);
    create();
    window->show();
    const int total = ServerState::LiveLogLines + 7;
    for (int i = 0; i < total; ++i) {
        core.addConnectionLog(QStringLiteral("c%1").arg(i));
        core.addTransmitLog(QStringLiteral("t%1").arg(i));
    }
    for (const auto& [kept, shown] :
         {std::pair{core.connectionLog(), window->ConnectionLogForm()->lines()},
          std::pair{core.transmitLog(), window->TransmitLog()->lines()}}) {
        ASSERT_EQ(kept.size(), ServerState::LiveLogLines);
        EXPECT_TRUE(kept.front().endsWith(QString::number(total - ServerState::LiveLogLines)));
        EXPECT_TRUE(kept.back().endsWith(QString::number(total - 1)));
        EXPECT_EQ(shown, kept) << "the window shows what the server keeps";
    }
}

TEST_F(MainFormTest, SettingsFromTheMenuStoresWhatIsConfirmed)
{
    writeConfig(5);
    create();
    window->show();
    const auto options = answerModal<TServOptionForm>([](TServOptionForm& form) {
        EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("QueTime"))->text(),
                  QStringLiteral("5"));
        form.findChild<QLineEdit*>(QStringLiteral("QueTime"))->setText(QStringLiteral("30"));
        form.accept();
    });
    triggerAction(action("Settings1"));
    EXPECT_EQ(core.config().QueTime, 30);
    EXPECT_EQ(TServerConfig::fromRecord(dir.read(ConfigFile::FileName)).QueTime, 30);
    // The running countdown keeps its value until its next reset.
    EXPECT_EQ(core.nextCheck(), 5);
}

TEST_F(MainFormTest, AboutWindowOpensOnce)
{
    create();
    triggerAction(action("About1"));
    TAboutBox* first = window->aboutBox();
    ASSERT_NE(first, nullptr);
    triggerAction(action("About1"));
    EXPECT_EQ(window->aboutBox(), first);
    EXPECT_EQ(window->findChildren<TAboutBox*>().size(), 1);
    EXPECT_EQ(first->Version1()->text(), QStringLiteral("Ver. 1.0"));
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->aboutBox(), nullptr);
    triggerAction(action("About1"));
    EXPECT_NE(window->aboutBox(), nullptr);
}

TEST_F(MainFormTest, ShutDownClosesAndDeletesTheQueue)
{
    writeConfig(5);
    create();
    window->show();
    dir.write(MessageQueueFile::FileName, "[1]\r\nMSG1=x\r\n");
    core.setAllowList(core.allowList() + QList<QByteArray>{"555"});
    int exitRequested = 0;
    QObject::connect(window.get(), &TServMainForm::applicationExitRequested,
                     [&] { ++exitRequested; });
    triggerAction(action("ShutDown1"));
    // Ending the program does not wait for other windows (help, log viewers) to close.
    EXPECT_EQ(exitRequested, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(core.allowList().isEmpty());
}

// At start-up the operator learns why no number is allowed or the gateway stays off, instead of
// meeting refused pages without a clue.
TEST_F(MainFormTest, StartSaysWhenAllowTxtOrSnppDatCannotBeUsed)
{
    writeConfig(5);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Allow.txt")));
    dir.write(QStringLiteral("Snpp.Dat"), "[SNPP]\r\nEnabled=1\r\nPort=99999\r\n");
    create();
    window->show();
    EXPECT_TRUE(core.allowList().isEmpty());
    const QStringList errors = prompts.shown().filter(QStringLiteral("standard error: "));
    ASSERT_EQ(errors.size(), 2) << prompts.shown().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Allow.txt could not be read")));
    EXPECT_TRUE(errors[1].contains(QStringLiteral("Port=99999 is not a port number")));
    EXPECT_TRUE(errors[1].contains(QStringLiteral("keeps the settings in use (off)")));
    EXPECT_TRUE(dir.read(QStringLiteral("Snpp.Dat")).contains("99999")) << "left for the operator";
}

TEST_F(MainFormTest, StartWithoutAllowTxtSaysThatNoNumberIsAllowed)
{
    writeConfig(5);
    create();
    window->show();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(window->ConnectionLogForm()->lines().filter(QStringLiteral("Allow.txt not found")),
              QStringList{QStringLiteral("Allow.txt not found (") +
                          dir.file(QStringLiteral("Allow.txt")) +
                          QStringLiteral("): no access number is allowed until it lists some")});
    dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    core.loadAllowList();
    EXPECT_EQ(core.allowList(), QList<QByteArray>{"555"});
    EXPECT_EQ(core.connectionLog().filter(QStringLiteral("Allow.txt")).size(), 1);
}

} // namespace
