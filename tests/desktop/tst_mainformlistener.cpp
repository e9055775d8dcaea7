#include "core/configfile.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "net/tsock.h"
#include "runtime/servercore.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/modalanswer.h"
#include "tests/support/servercoretest.h"
#include "tests/support/triggeraction.h"
#include "workstation/serverlistener.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class MainFormListenerTest : public ServerCoreTest
{
protected:
    std::unique_ptr<TServMainForm> window;

    TSock& sock1() const { return core.listener().Sock1(); }
    void trigger(const char* name) const { triggerAction(*window, QLatin1String(name)); }
};

TEST_F(MainFormListenerTest, ListensFromFirstShowRestartsOnSettingsOkAndStopsAtClose)
{
    const quint16 first = unusedPort();
    TServerConfig config = TServerConfig::defaults(dir.path());
    config.Port = QByteArray::number(first);
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), config, prompts));
    window = std::make_unique<TServMainForm>(core, prompts);
    window->Timer1()->stop();
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
