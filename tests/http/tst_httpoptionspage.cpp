#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "http/httpfrontend.h"
#include "http/httpsettings.h"
#include "http/ui/httpoptionspage.h"
#include "runtime/httpbridge.h"
#include "tests/support/freeport.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

using HttpOptionsWindowTest = MainWindowTest;

// The options dialog's HTTP page on the running window: what it shows, what OK stores in
// Http.Dat, and the running front end following it at once.
TEST_F(HttpOptionsWindowTest, OkStoresHttpDatAndTheRunningFrontEndFollowsIt)
{
    TServerConfig config = TServerConfig::defaults(dir.path());
    core.setConfig(config);
    create();
    HttpBridge& http = runtime.http();
    ASSERT_FALSE(http.isListening()) << "off without Http.Dat";
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/topic106.html")));

    const QByteArray free = freeLoopbackPort();
    QStringList refusals;
    QString shownPort;
    const auto fill = [&](TServOptionForm& form, const QString& port, const QString& token,
                          const QList<const char*>& badTokens) {
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* ok = form.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        auto* portEntry = form.findChild<QLineEdit*>(QStringLiteral("HttpPort"));
        auto* tokenEntry = form.findChild<QLineEdit*>(QStringLiteral("HttpToken"));
        ASSERT_TRUE(pages && ok && portEntry && tokenEntry);
        shownPort = portEntry->text();
        form.findChild<QCheckBox*>(QStringLiteral("HttpEnabled"))->setChecked(true);
        pages->setCurrentIndex(0);
        portEntry->setText(port);
        for (const char* bad : badTokens) {
            tokenEntry->setText(QLatin1String(bad));
            ok->click();
            refusals.append(prompts.shown().value(prompts.shown().size() - 1));
            EXPECT_TRUE(form.isVisible()) << "OK closed the dialog with the token '" << bad << "'";
            EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("HttpPage"));
            EXPECT_FALSE(dir.exists(HttpSettings::FileName)) << "stored behind the box";
        }
        tokenEntry->setText(token);
        ok->click();
    };

    const auto first = answerModal<TServOptionForm>([&](TServOptionForm& form) {
        fill(form, QString::fromLatin1(free), QStringLiteral("abc.DEF-1"), {"a b", "x\"y"});
    });
    window->Settings1Click();
    EXPECT_EQ(shownPort, QStringLiteral("5680"));
    EXPECT_EQ(refusals.size(), 2) << refusals.join(QLatin1Char('\n')).toStdString();
    for (const QString& refusal : refusals)
        EXPECT_TRUE(refusal.contains(QStringLiteral("token"))) << refusal.toStdString();
    EXPECT_EQ(HttpSettings::load(dir.path()), (HttpSettings{true, free.toUShort(), "abc.DEF-1"}));
    ASSERT_TRUE(http.isListening());
    EXPECT_EQ(http.frontEnd().port(), free.toUShort());
    EXPECT_EQ(http.settings().token, "abc.DEF-1");

    // Opened again, the page shows what runs; another port moves the listener.
    const QByteArray moved = freeLoopbackPort();
    const auto second = answerModal<TServOptionForm>(
        [&](TServOptionForm& form) { fill(form, QString::fromLatin1(moved), QString(), {}); });
    window->Settings1Click();
    EXPECT_EQ(shownPort, QString::fromLatin1(free));
    EXPECT_EQ(http.frontEnd().port(), moved.toUShort());
    EXPECT_TRUE(http.settings().token.isEmpty());
    EXPECT_EQ(HttpSettings::load(dir.path()), (HttpSettings{true, moved.toUShort(), {}}));
}

} // namespace
