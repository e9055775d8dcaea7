#include "server/servercore.h"
#include "server/snppbridge.h"
#include "server/ui/tservoptionform.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "snpp/snppsettings.h"
#include "snpp/ui/snppoptionspage.h"
#include "tests/support/freeport.h"
#include "tests/support/servercoretest.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

class SnppOptionsPageTest : public ServerCoreTest
{
protected:
    SnppBridge bridge{core.submissions(), core, core, prompts};
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

} // namespace
