#include "desktop/tservmainform.h"
#include "runtime/snppbridge.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppsettings.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/freeport.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/workstationclient.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using SnppWindowTest = MainWindowTest;

// Closing the window ends each paging client's session with "421" and an orderly close, and
// the program is let end only once those last replies are out.
TEST_F(SnppWindowTest, TheProgramEndsOnlyAfterEachPagingClientHasItsLastReply)
{
    writeConfig();
    const quint16 port = freeLoopbackPort().toUShort();
    SnppSettings{true, port}.save(dir.path());

    create();
    int exits = 0;
    bool drainedAtExit = false;
    QObject::connect(window.get(), &TServMainForm::applicationExitRequested, [&] {
        ++exits;
        drainedAtExit = runtime.snpp().isDrained();
    });
    window->show();
    runWhilePumping([&] {
        SnppClient client(port);
        ASSERT_EQ(client.line(), SnppProtocol::greeting().trimmed());
        EXPECT_EQ(client.command("LEVE 1"), "250 OK");
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { window->close(); }, Qt::BlockingQueuedConnection);
        bool closed = false;
        EXPECT_EQ(client.rest(&closed), SnppProtocol::shuttingDownReply());
        EXPECT_TRUE(closed);
        EXPECT_FALSE(client.wasReset());
    });
    EXPECT_TRUE(waitFor([&] { return exits == 1; }));
    EXPECT_TRUE(drainedAtExit) << "the program was let end with a session still open";
}

} // namespace
