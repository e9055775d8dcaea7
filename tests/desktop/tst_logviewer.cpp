#include "desktop/tlogviewer.h"

#include "core/serverstate.h"
#include "core/transactionlog.h"
#include "foundation/errors.h"
#include "tests/support/servercoretest.h"
#include "tests/support/triggeraction.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPrinter>

#include <gtest/gtest.h>

namespace {

class LogViewerTest : public ServerCoreTest
{
protected:
    void SetUp() override
    {
        configure([&](TServerConfig& c) { c.Logging = true; });
    }
    void TearDown() override
    {
        for (const QPointer<TLogViewer>& viewer : m_viewers)
            delete viewer.data();
    }
    TLogViewer* openViewer()
    {
        TLogViewer* viewer = TLogViewer::open(dir.path(), nullptr);
        m_viewers.append(viewer);
        return viewer;
    }
    static void trigger(TLogViewer* viewer, const char* action)
    {
        triggerAction(*viewer, QString::fromLatin1(action));
    }
    static QStringList shownLines(TLogViewer* viewer)
    {
        QStringList lines;
        for (int i = 0; i < viewer->HederViewer()->count(); ++i)
            lines.append(viewer->HederViewer()->item(i)->text());
        return lines;
    }
    // A printer that writes a PDF file instead of reaching a device.
    static void toPdf(QPrinter& printer, const QString& path)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
    }
    static int pdfPages(const QByteArray& pdf)
    {
        // Page objects are "/Type /Page" not followed by "s" (that is the page tree).
        int pages = 0;
        for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
             at = pdf.indexOf("/Type /Page", at + 1)) {
            if (pdf.mid(at + 11, 1) != "s")
                ++pages;
        }
        return pages;
    }

private:
    QList<QPointer<TLogViewer>> m_viewers;
};

TEST_F(LogViewerTest, WindowAndFileMenuAsTheOperatorSeesThem)
{
    TLogViewer* viewer = openViewer();
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Transfer Log Viewer"));
    EXPECT_TRUE(viewer->HederViewer()->font().bold());
    EXPECT_EQ(viewer->HederViewer()->font().pointSize(), 8);
    ASSERT_EQ(viewer->menuBar()->actions().size(), 1);
    EXPECT_EQ(viewer->menuBar()->actions().first()->text(), QStringLiteral("&File"));
    QStringList items;
    for (QAction* action : viewer->menuBar()->actions().first()->menu()->actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items, (QStringList{QStringLiteral("Save &As..."), QStringLiteral("&Clear Log"),
                                  QStringLiteral("-"), QStringLiteral("&Print..."),
                                  QStringLiteral("P&rint Setup..."), QStringLiteral("-"),
                                  QStringLiteral("E&xit")}));
}

TEST_F(LogViewerTest, EachViewerShowsTheLogAsItWasWhenOpened)
{
    TLogViewer* empty = openViewer();
    EXPECT_EQ(empty->HederViewer()->count(), 0) << "no Log.Dat yet";

    core.AppendLog("Call Processing Started");
    core.AppendLog("No Messages Read");
    TLogViewer* first = openViewer();
    core.AppendLog("--------------------------");
    TLogViewer* second = openViewer();

    EXPECT_EQ(first->HederViewer()->count(), 2);
    EXPECT_EQ(second->HederViewer()->count(), 3);
    const QList<QByteArray> fileLines = TransactionLog::readLines(dir.path());
    ASSERT_EQ(fileLines.size(), 3);
    EXPECT_EQ(shownLines(second).last(), QString::fromLocal8Bit(fileLines.last()));
    EXPECT_TRUE(shownLines(first).first().endsWith(QStringLiteral(" - Call Processing Started")));
}

TEST_F(LogViewerTest, ClearLogInOneViewerLeavesAnotherUntouched)
{
    core.AppendLog("one");
    core.AppendLog("two");
    TLogViewer* keeper = openViewer();
    TLogViewer* clearer = openViewer();

    trigger(clearer, "ClearLog1");
    EXPECT_EQ(clearer->HederViewer()->count(), 0);
    EXPECT_TRUE(clearer->lines().isEmpty());
    EXPECT_FALSE(dir.exists(TransactionLog::FileName));
    EXPECT_EQ(keeper->HederViewer()->count(), 2);
    EXPECT_EQ(keeper->lines().size(), 2);
    EXPECT_TRUE(prompts.shown().isEmpty()) << "clearing asks nothing";

    // Clearing again with no file only empties the list.
    trigger(clearer, "ClearLog1");
    EXPECT_FALSE(dir.exists(TransactionLog::FileName));
}

TEST_F(LogViewerTest, SaveAsWritesACopyIdenticalToTheLog)
{
    core.AppendLog("Message Received From: 10.0.0.9");
    core.AppendLog(" Error Connecting To Paging Network: 555");
    core.AppendLog("");
    TLogViewer* viewer = openViewer();
    const QString copy = dir.file(QStringLiteral("copy.txt"));
    viewer->setSaveFileChooser([&](QWidget* parent) {
        EXPECT_EQ(parent, viewer);
        return copy;
    });
    trigger(viewer, "SaveAs2");
    EXPECT_EQ(dir.read(QStringLiteral("copy.txt")), dir.read(TransactionLog::FileName));

    // A cancelled dialog writes nothing.
    int asked = 0;
    viewer->setSaveFileChooser([&](QWidget*) {
        ++asked;
        return QString();
    });
    dir.write(QStringLiteral("copy.txt"), "kept");
    trigger(viewer, "SaveAs2");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dir.read(QStringLiteral("copy.txt")), QByteArray("kept"));

    EXPECT_THROW(viewer->saveTo(dir.file(QStringLiteral("missing/x.txt"))), EZelkorError);
}

TEST_F(LogViewerTest, PrintsEveryLineAndStartsNewPagesWhenFull)
{
    for (int i = 1; i <= 3; ++i)
        core.AppendLog("short log " + QByteArray::number(i));
    TLogViewer* small = openViewer();
    QPrinter printer(QPrinter::HighResolution);
    toPdf(printer, dir.file(QStringLiteral("small.pdf")));
    EXPECT_EQ(small->printTo(printer), 1);
    EXPECT_EQ(pdfPages(dir.read(QStringLiteral("small.pdf"))), 1);

    for (int i = 4; i <= 400; ++i)
        core.AppendLog("a longer log, line " + QByteArray::number(i));
    TLogViewer* large = openViewer();
    QPrinter second(QPrinter::HighResolution);
    toPdf(second, dir.file(QStringLiteral("large.pdf")));
    const int pages = large->printTo(second);
    EXPECT_GT(pages, 1);
    EXPECT_LT(pages, 400) << "many lines share a page";
    EXPECT_EQ(pdfPages(dir.read(QStringLiteral("large.pdf"))), pages);
}

TEST_F(LogViewerTest, PrintGoesThroughThePrintDialogAndCancelPrintsNothing)
{
    core.AppendLog("to paper");
    TLogViewer* viewer = openViewer();
    const QString pdf = dir.file(QStringLiteral("out.pdf"));
    viewer->setPrintDialog([&](QPrinter& printer, QWidget*) {
        toPdf(printer, pdf);
        return false;
    });
    trigger(viewer, "Print2");
    EXPECT_FALSE(dir.exists(QStringLiteral("out.pdf")));

    // The printer chosen in setup is the one the print dialog starts from.
    viewer->setPrintSetupDialog([&](QPrinter& printer, QWidget*) {
        toPdf(printer, pdf);
        return true;
    });
    viewer->setPrintDialog([&](QPrinter& printer, QWidget*) {
        EXPECT_EQ(printer.outputFileName(), pdf);
        return true;
    });
    trigger(viewer, "PrintSetup2");
    trigger(viewer, "Print2");
    EXPECT_EQ(pdfPages(dir.read(QStringLiteral("out.pdf"))), 1);
}

TEST_F(LogViewerTest, ExitClosesAndFreesTheViewer)
{
    QPointer<TLogViewer> viewer = openViewer();
    trigger(viewer, "Exit2");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());
}

} // namespace
