#include "core/transactionlog.h"
#include "desktop/contexthelp.h"
#include "desktop/helpviewer.h"
#include "desktop/helpwindow.h"
#include "desktop/logwindowtiler.h"
#include "desktop/mainmenu.h"
#include "desktop/mdititlebar.h"
#include "desktop/statuspanels.h"
#include "desktop/tanblform.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "foundation/datetimetext.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/triggeraction.h"
#include "ui/programicon.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTimer>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

// The main window at its specified size, configured and shown, with a scripted modem on COM1.
class ReadableMainFormTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        writeCallingConfig(modem, [](TServerConfig& config) {
            config.Port = "0";
            config.Logging = true;
        });
        core.setClock([this] { return clock; });
        createShown();
        settle();
    }
    QMdiSubWindow* frameOf(QWidget* form) const
    {
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }

    ScriptedModem modem;
    // A clock face of the widest digits in a month with a long name.
    QDateTime clock{QDate(2026, 9, 28), QTime(20, 58, 58)};
};

// A panel shows its whole text when its inside is at least as wide as the text.
void expectWhole(QLabel* panel)
{
    const int textWidth = panel->fontMetrics().horizontalAdvance(panel->text());
    EXPECT_GE(panel->contentsRect().width(), textWidth)
        << panel->objectName().toStdString() << " cuts \"" << panel->text().toStdString() << '"';
}

TEST_F(ReadableMainFormTest, StatusPanelsStayWholeDuringACall)
{
    queueMessage("1111111");
    core.setNextCheck(-888);
    int measured = 0;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        // The clock ticks during the call, and the engine reports its progress.
        window->Timer1Timer();
        core.setProgress(QStringLiteral("Sending Message To 1111111 ") +
                         QString(120, QLatin1Char('.')));
        settle();
        QStatusBar* bar = window->statusBar();
        for (int i = 0; i < 3; ++i)
            expectWhole(window->statusPanels().panel(i));
        QLabel* progress = window->statusPanels().panel(3);
        EXPECT_LE(progress->geometry().right(), bar->contentsRect().right())
            << "the progress panel runs past the status bar";
        for (int i = 0; i < 3; ++i) {
            EXPECT_LT(window->statusPanels().panel(i)->geometry().right(),
                      window->statusPanels().panel(i + 1)->geometry().left())
                << "panel " << i << " is overlapped by the next";
        }
        EXPECT_EQ(window->width(), 435) << "the status bar pushed the window wider";
        ++measured;
    });
    triggerAction(window->menu().SendNow1());
    ASSERT_EQ(measured, 1) << "no call reached the terminal";
    EXPECT_TRUE(window->statusPanels().text(0).startsWith(DateTimeText::dateOnly(clock)));
}

TEST_F(ReadableMainFormTest, LogLinesWrapAtTheWindowAndTheTilingFollowsItsSize)
{
    QMdiArea* area = window->findChild<QMdiArea*>(QStringLiteral("MdiArea"));
    ASSERT_NE(area, nullptr);
    QMdiSubWindow* connection = frameOf(window->ConnectionLogForm());
    QMdiSubWindow* transmit = frameOf(window->TransmitLog());
    ASSERT_NE(connection, nullptr);
    ASSERT_NE(transmit, nullptr);
    const QString longLine = QStringLiteral("Message: ") + QString(30, QLatin1Char('w')) +
                             QStringLiteral(" a page text long enough to need three lines at the "
                                            "specified window size and then some more words");
    core.addConnectionLog(longLine);
    settle();

    // At 435 x 300 each log gets the whole width, one above the other.
    const int areaWidth = area->viewport()->width();
    EXPECT_EQ(connection->width(), areaWidth);
    EXPECT_EQ(transmit->width(), areaWidth);
    EXPECT_LT(connection->geometry().bottom(), transmit->geometry().top());
    QPlainTextEdit* memo = window->ConnectionLogForm()->Memo1();
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0) << "a log line needs sideways scrolling";
    EXPECT_GT(memo->document()->firstBlock().layout()->lineCount(), 1)
        << "the long line does not wrap";

    // Enlarged, the logs stand side by side and fill the area.
    window->resize(1000, 700);
    settle();
    EXPECT_EQ(connection->y(), transmit->y());
    EXPECT_GE(connection->width(), LogWindowTiler::MinColumnWidth);
    EXPECT_EQ(connection->width() + transmit->width(), area->viewport()->width());
    EXPECT_EQ(connection->height(), area->viewport()->height());
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);

    // Once the operator arranges the logs, a change of size leaves them where they are.
    connection->setGeometry(10, 10, 300, 200);
    window->resize(800, 600);
    settle();
    EXPECT_EQ(connection->geometry(), QRect(10, 10, 300, 200));
    EXPECT_FALSE(window->logWindowTiler().isAutomatic());
}

TEST_F(ReadableMainFormTest, TimeStampsAtMidnightFollowOneRule)
{
    clock = QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0));
    const QString date = DateTimeText::dateOnly(clock);
    queueMessage("1111111");
    triggerAction(window->menu().SendNow1());
    ASSERT_EQ(modem.blocks().size(), 1);

    const QList<QByteArray> logLines = TransactionLog::readLines(dir.path());
    ASSERT_FALSE(logLines.isEmpty());
    QStringList stamped; // the window's lines that carry a time stamp of their own
    for (const QString& line : window->TransmitLog()->lines()) {
        if (line.startsWith(date))
            stamped.append(line);
    }
    ASSERT_FALSE(stamped.isEmpty());
    for (const QByteArray& line : logLines) {
        EXPECT_TRUE(line.startsWith(date.toLocal8Bit() + " - ")) << line.toStdString();
        EXPECT_FALSE(line.contains("00:00:00")) << line.toStdString();
    }
    for (const QString& line : stamped)
        EXPECT_FALSE(line.contains(QStringLiteral("00:00:00"))) << line.toStdString();
    EXPECT_TRUE(stamped.contains(date + QStringLiteral(" Call(s) Compleated")));
    EXPECT_TRUE(logLines.contains(
        (date + QStringLiteral(" - ") + date + QStringLiteral(" Call(s) Compleated"))
            .toLocal8Bit()));
    // The status bar's clock shows midnight as a time.
    window->Timer1Timer();
    EXPECT_EQ(window->statusPanels().text(0), date + QStringLiteral(" 00:00:00"));
}

TEST_F(ReadableMainFormTest, WindowsShowTheProgramsIcon)
{
    const QImage expected = ProgramIcon::icon().pixmap(16).toImage();
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(window->windowIcon().pixmap(16).toImage(), expected);
    EXPECT_EQ(frameOf(window->ConnectionLogForm())->windowIcon().pixmap(16).toImage(), expected);
    EXPECT_EQ(frameOf(window->TransmitLog())->windowIcon().pixmap(16).toImage(), expected);
    triggerAction(window->menu().AccessBlockList1());
    ASSERT_NE(window->ANBLForm(), nullptr);
    EXPECT_EQ(frameOf(window->ANBLForm())->windowIcon().pixmap(16).toImage(), expected);
}

TEST_F(ReadableMainFormTest, AllowListCaptionIsWholeAtTheSpecifiedSize)
{
    triggerAction(window->menu().AccessBlockList1());
    settle();
    ASSERT_NE(window->ANBLForm(), nullptr);
    QMdiSubWindow* frame = frameOf(window->ANBLForm());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Access Number Accept List"));
    EXPECT_GE(MdiTitleBar::labelWidth(frame), MdiTitleBar::captionWidth(frame))
        << "the caption is cut at a frame " << frame->width() << " pixels wide";
    QMdiArea* area = window->findChild<QMdiArea*>(QStringLiteral("MdiArea"));
    EXPECT_LE(frame->width(), area->viewport()->width()) << "the frame is wider than the window";
}

// Clicks the first link of the help window's page as the desktop would deliver the click: a
// window that a modal dialog blocks never gets it.
void clickFirstLink(HelpViewer& viewer)
{
    auto* browser = viewer.findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    ASSERT_NE(browser, nullptr);
    const QTextCursor link = browser->document()->find(QStringLiteral("Contents"));
    ASSERT_FALSE(link.isNull());
    QTextCursor inside = link;
    inside.setPosition(link.selectionStart() + 2);
    browser->setTextCursor(inside);
    browser->ensureCursorVisible();
    const QPoint inViewport = browser->cursorRect(inside).center();
    ASSERT_EQ(browser->anchorAt(inViewport), QStringLiteral("contents.html"));
    const QPoint inWindow = browser->viewport()->mapTo(viewer.window(), inViewport);
    QTest::mouseClick(viewer.window()->windowHandle(), Qt::LeftButton, {}, inWindow);
}

// What the operator gets from the help while the options dialog is open: the page the Help
// button opens and where a click on its link leads, then the same for F1.
struct HelpInsideDialog
{
    QUrl fromButton, afterButtonLink, fromF1, afterF1Link;
};

void useHelpInside(HelpWindow& help, TServOptionForm& form, HelpInsideDialog& seen)
{
    form.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();
    HelpViewer* viewer = help.viewer();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    seen.fromButton = viewer->currentSource();
    clickFirstLink(*viewer);
    seen.afterButtonLink = viewer->currentSource();

    // The operator closes the help and asks again with F1 in the dialog.
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(help.viewer(), nullptr);
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QWidget* queTime = form.findChild<QWidget*>(QStringLiteral("QueTime"));
    queTime->setFocus();
    QTest::keyClick(queTime, Qt::Key_F1);
    viewer = help.viewer();
    ASSERT_NE(viewer, nullptr) << "F1 in the dialog opened no help";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    seen.fromF1 = viewer->currentSource();
    clickFirstLink(*viewer);
    seen.afterF1Link = viewer->currentSource();
}

TEST_F(ReadableMainFormTest, HelpWorksWhileTheOptionsDialogIsOpen)
{
    ContextHelp f1(window->help());
    qApp->installEventFilter(&f1);
    HelpInsideDialog seen;
    const auto options = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        useHelpInside(window->help(), form, seen);
        form.close();
    });
    triggerAction(window->menu().Settings1());
    qApp->removeEventFilter(&f1);

    EXPECT_EQ(seen.fromButton, HelpViewer::topicUrl(101));
    EXPECT_EQ(seen.afterButtonLink, HelpViewer::contentsUrl()) << "the help window ignored a click";
    EXPECT_EQ(seen.fromF1, HelpViewer::topicUrl(101));
    EXPECT_EQ(seen.afterF1Link, HelpViewer::contentsUrl()) << "the help window ignored a click";
    // The help stays open once the dialog is done.
    HelpViewer* viewer = window->help().viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->parentWidget(), nullptr);
    viewer->close();
}

} // namespace
