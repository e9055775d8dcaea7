#include "desktop/tanblform.h"

#include "core/allowlist.h"
#include "core/serverstate.h"
#include "tests/support/servercoretest.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class ANBLFormTest : public ServerCoreTest
{
protected:
    QPointer<TANBLForm> form;

    void TearDown() override { delete form.data(); }
    TANBLForm* openForm()
    {
        form = new TANBLForm(core);
        form->show();
        return form;
    }
    static void flushDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
};

TEST_F(ANBLFormTest, ShowsTheFileWhateverItsLetterCase)
{
    dir.write(QStringLiteral("allow.TXT"), "555\r\n1800\r\n");
    openForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Access Number Accept List"));
    EXPECT_EQ(form->Memo1()->toPlainText(), QStringLiteral("555\n1800"));
    EXPECT_EQ(form->BitBtn1()->text(), QStringLiteral("&OK"));
    EXPECT_EQ(form->BitBtn2()->text(), QStringLiteral("&Cancel"));
}

TEST_F(ANBLFormTest, OkSavesCrLfLinesAndTheNextCheckUsesThem)
{
    dir.write(QStringLiteral("Allow.txt"), "777\r\n");
    core.setAllowList(AllowList::load(dir.path()));
    openForm();
    form->Memo1()->setPlainText(QStringLiteral("555\n1800\n"));
    form->BitBtn1()->click();

    EXPECT_EQ(files(), QStringList{QStringLiteral("Allow.txt")}) << "one file, both spellings";
    EXPECT_EQ(dir.read(QStringLiteral("Allow.txt")), QByteArray("555\r\n1800\r\n"));
    EXPECT_EQ(core.allowList(), (QList<QByteArray>{"555", "1800"}));
    EXPECT_TRUE(AllowList::allows(core.allowList(), "(555) 123-4567"));
    EXPECT_FALSE(AllowList::allows(core.allowList(), "777"));
    flushDeletes();
    EXPECT_TRUE(form.isNull()) << "OK closes and frees the dialog";
}

TEST_F(ANBLFormTest, OkWithAnEmptyMemoRefusesEveryNumber)
{
    core.setAllowList({"555"});
    openForm();
    form->Memo1()->clear();
    form->BitBtn1()->click();
    EXPECT_EQ(files(), QStringList{QStringLiteral("allow.txt")});
    EXPECT_EQ(dir.read(QStringLiteral("allow.txt")), QByteArray());
    EXPECT_TRUE(core.allowList().isEmpty());
    EXPECT_FALSE(AllowList::allows(core.allowList(), "555"));
}

TEST_F(ANBLFormTest, CancelSavesNothing)
{
    dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    core.setAllowList({"555"});
    openForm();
    form->Memo1()->setPlainText(QString());
    form->BitBtn2()->click();
    EXPECT_EQ(dir.read(QStringLiteral("Allow.txt")), QByteArray("555\r\n"));
    EXPECT_EQ(core.allowList(), QList<QByteArray>{"555"});
    flushDeletes();
    EXPECT_TRUE(form.isNull());
}

TEST_F(ANBLFormTest, InsideTheMainWindowOkClosesItsFrame)
{
    QMdiArea area;
    form = new TANBLForm(core);
    QMdiSubWindow* frame = area.addSubWindow(form);
    QPointer<QMdiSubWindow> watchFrame = frame;
    frame->show();
    form->Memo1()->setPlainText(QStringLiteral("9"));
    form->BitBtn1()->click();
    flushDeletes();
    EXPECT_TRUE(watchFrame.isNull());
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(core.allowList(), QList<QByteArray>{"9"});
}

} // namespace
