#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "net/tsock.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "workstation/serverlistener.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class MainFormListenerTest : public MainWindowTest
{
protected:
    TSock& sock1() const { return runtime.listener().Sock1(); }
};

TEST_F(MainFormListenerTest, ListensFromFirstShowRestartsOnSettingsOkAndStopsAtClose)
{
    const quint16 first = unusedPort();
    writeConfig([&](TServerConfig& config) { config.Port = QByteArray::number(first); });
    create();
    EXPECT_FALSE(sock1().Listen());

    window->show();
    ASSERT_TRUE(sock1().Listen());
    EXPECT_EQ(sock1().LocalPort(), first);

    const quint16 second = unusedPort();
    const auto options = answerModal<TServOptionForm>([second](TServOptionForm& form) {
        form.findChild<QLineEdit*>(QStringLiteral("Port"))->setText(QString::number(second));
        form.accept();
    });
    trigger("Settings1");
    EXPECT_EQ(core.config().Port, QByteArray::number(second));
    ASSERT_TRUE(sock1().Listen());
    EXPECT_EQ(sock1().LocalPort(), second);
    EXPECT_FALSE(LoopbackClient(first).isOpen());

    trigger("ShowIPAddress1");
    ASSERT_FALSE(prompts.shown().isEmpty());
    EXPECT_EQ(prompts.shown().last(), QStringLiteral("information: Current IP Address Is \"") +
                                          QString::fromLatin1(TSock::LocalAddress()) +
                                          QLatin1Char('"'));

    trigger("ShutDown1");
    EXPECT_FALSE(sock1().Listen());
    EXPECT_FALSE(LoopbackClient(second).isOpen());
}

} // namespace
