#include "core/configfile.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "runtime/serverruntime.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "snpp/snppsettings.h"
#include "snpp/ui/snppoptionspage.h"
#include "tests/support/freeport.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/servercoretest.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SnppOptionsPageTest : public ServerCoreTest
{
protected:
    SnppBridge bridge{core, prompts};
    TServOptionForm form{dir.path()};
    SnppOptionsPage* page = new SnppOptionsPage(bridge.gateway());

    void SetUp() override { form.addPage(page, QStringLiteral("S&NPP Gateway")); }
    QCheckBox* enabled() { return form.findChild<QCheckBox*>(QStringLiteral("SnppEnabled")); }
    QLineEdit* port() { return form.findChild<QLineEdit*>(QStringLiteral("SnppPort")); }
    // The dialog opened anew, as the settings command opens it.
    void reopen()
    {
        form.hide();
        form.show();
    }
};

TEST_F(SnppOptionsPageTest, TheFifthPageShowsStoresAndAppliesTheGatewaySettings)
{
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    ASSERT_EQ(pages->count(), 5);
    pages->setCurrentIndex(4);
    QList<int> topics;
    form.setHelpOpener([&](int topic) { topics.append(topic); });
    form.findChild<QPushButton*>(QStringLiteral("BitBtn3"))->click();
    EXPECT_EQ(topics, QList<int>{SnppOptionsPage::HelpTopic});
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/topic105.html")));

    reopen();
    ASSERT_TRUE(enabled() && port());
    EXPECT_FALSE(enabled()->isChecked());
    EXPECT_EQ(port()->text(), QStringLiteral("444"));

    // A port that is no port changes nothing.
    enabled()->setChecked(true);
    port()->setText(QStringLiteral("0"));
    const std::optional<QString> refused = page->apply();
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains(QStringLiteral("'0' is not a valid SNPP port")));
    EXPECT_FALSE(dir.exists(SnppSettings::FileName));
    EXPECT_FALSE(bridge.gateway().server().isListening());

    const QByteArray free = freeLoopbackPort();
    port()->setText(QString::fromLatin1(free));
    EXPECT_FALSE(page->apply());
    EXPECT_EQ(SnppSettings::load(dir.path()), (SnppSettings{true, free.toUShort()}));
    EXPECT_TRUE(bridge.gateway().server().isListening());
    EXPECT_EQ(bridge.gateway().server().port(), free.toUShort());

    // Edits of a dialog that was cancelled are gone when it opens again.
    enabled()->setChecked(false);
    port()->setText(QStringLiteral("1234"));
    reopen();
    EXPECT_TRUE(enabled()->isChecked());
    EXPECT_EQ(port()->text(), QString::fromLatin1(free));

    enabled()->setChecked(false);
    EXPECT_FALSE(page->apply());
    EXPECT_FALSE(bridge.gateway().server().isListening());
    EXPECT_EQ(SnppSettings::load(dir.path()), (SnppSettings{false, free.toUShort()}));
}

// A gateway switched on with a port that is no port is refused while the dialog is open: OK
// warns, stays on the gateway's page with the port to correct, and stores none of the dialog's
// settings; a good port then closes it and every setting is stored.
TEST_F(MainWindowTest, OkWithAnSnppPortThatIsNoPortKeepsTheOptionsDialogOpen)
{
    TServerConfig config = TServerConfig::defaults(dir.path());
    config.QueTime = 5;
    core.setConfig(config);
    create();
    const QByteArray free = freeLoopbackPort();
    QStringList refusals;
    const auto options = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* ok = form.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        auto* port = form.findChild<QLineEdit*>(QStringLiteral("SnppPort"));
        form.findChild<QLineEdit*>(QStringLiteral("QueTime"))->setText(QStringLiteral("7"));
        form.findChild<QCheckBox*>(QStringLiteral("SnppEnabled"))->setChecked(true);
        pages->setCurrentIndex(0);
        for (const char* bad : {"", "0", "99999"}) {
            port->setText(QLatin1String(bad));
            ok->click();
            refusals.append(prompts.shown().value(prompts.shown().size() - 1));
            EXPECT_TRUE(form.isVisible()) << "OK closed the dialog with the port '" << bad << "'";
            EXPECT_EQ(pages->currentIndex(), 4) << "the gateway's page is not in front";
            EXPECT_EQ(form.focusWidget(), port);
            EXPECT_FALSE(dir.exists(ConfigFile::FileName)) << "settings stored behind the box";
            EXPECT_EQ(core.config().QueTime, 5);
        }
        port->setText(QString::fromLatin1(free));
        ok->click();
    });
    window->Settings1Click();
    EXPECT_EQ(
        refusals,
        (QStringList{QStringLiteral("warning: '' is not a valid SNPP port: enter a number from 1 "
                                    "to 65535"),
                     QStringLiteral("warning: '0' is not a valid SNPP port: enter a number from 1 "
                                    "to 65535"),
                     QStringLiteral("warning: '99999' is not a valid SNPP port: enter a number "
                                    "from 1 to 65535")}));
    EXPECT_EQ(prompts.shown().size(), 3) << prompts.shown().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(core.config().QueTime, 7);
    EXPECT_TRUE(dir.exists(ConfigFile::FileName));
    EXPECT_EQ(SnppSettings::load(dir.path()), (SnppSettings{true, free.toUShort()}));
    EXPECT_TRUE(runtime.snpp().gateway().server().isListening());
}

} // namespace
