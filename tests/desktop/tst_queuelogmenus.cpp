#include "core/configfile.h"
#include "desktop/mainmenu.h"
#include "desktop/tanblform.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tlogviewer.h"
#include "desktop/tservmainform.h"
#include "queue/messagequeuefile.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/triggeraction.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiSubWindow>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The main window's queue, log and allow list commands, driven through its menu.
class QueueLogMenusTest : public MainWindowTest
{
protected:
    void SetUp() override { create(); }
};

TEST_F(QueueLogMenusTest, FirstShowLoadsTheAllowList)
{
    TServerConfig stored = core.config();
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), stored, prompts));
    dir.write(QStringLiteral("ALLOW.txt"), "555\r\n1800\r\n");
    window->FormShow();
    EXPECT_EQ(core.allowList(), (QList<QByteArray>{"555", "1800"}));
}

TEST_F(QueueLogMenusTest, TestMessageThenClearQueue)
{
    prompts.expectInput(QStringLiteral("Enter PIN To Send To:"), QStringLiteral("4321"));
    prompts.expectInput(QStringLiteral("Enter Paging Co. Access Number:"), QStringLiteral("555"));
    triggerAction(window->menu().SendTestMsg1());
    EXPECT_EQ(core.queuedCount(), 1);
    EXPECT_TRUE(dir.exists(MessageQueueFile::FileName));
    const QStringList shown = window->ConnectionLogForm()->lines();
    // The five lines of a received message, then the added line with the page's id.
    ASSERT_EQ(shown.size(), 6);
    EXPECT_EQ(shown[2], QStringLiteral("         PIN: 4321"));
    EXPECT_EQ(shown[5], QStringLiteral("Page 1 Queued: 555 4321"));

    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    triggerAction(window->menu().ClearMsgQueue1());
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(prompts.scriptDone());
}

TEST_F(QueueLogMenusTest, EveryLogViewerCommandOpensAnotherViewer)
{
    triggerAction(window->menu().LogViewer1());
    triggerAction(window->menu().LogViewer1());
    const QList<TLogViewer*> viewers = window->findChildren<TLogViewer*>();
    ASSERT_EQ(viewers.size(), 2);
    EXPECT_TRUE(viewers[0]->isVisible());
    EXPECT_NE(viewers[0], viewers[1]);
}

TEST_F(QueueLogMenusTest, AllowListDialogIsASingleInstance)
{
    triggerAction(window->menu().AccessBlockList1());
    TANBLForm* first = window->ANBLForm();
    ASSERT_NE(first, nullptr);
    triggerAction(window->menu().AccessBlockList1());
    EXPECT_EQ(window->ANBLForm(), first);
    EXPECT_EQ(window->findChildren<TANBLForm*>().size(), 1);

    // Once it is closed, the command opens a new one.
    first->BitBtn2()->click();
    flushDeletes();
    EXPECT_EQ(window->ANBLForm(), nullptr);
    triggerAction(window->menu().AccessBlockList1());
    EXPECT_NE(window->ANBLForm(), nullptr);
}

} // namespace
