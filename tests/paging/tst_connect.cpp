#include "enginetest.h"

namespace {

using Texts = QList<QByteArray>;

class ConnectTest : public EngineTest
{
};

TEST_F(ConnectTest, DialsLogsOnAndKeepsThePortOpen)
{
    EXPECT_TRUE(page.Connect());
    EXPECT_TRUE(page.PortOpen());
    EXPECT_EQ(progress, (Texts{"Intializing Modem", "Dialing 5551234", "Connected", "Loging On",
                               "Login Accepted"}));
    EXPECT_EQ(modem.commands(), (Texts{"ATZ", "atdt 5551234"}));
    EXPECT_TRUE(modem.received().startsWith("ATZ\r\natdt 5551234\r\n"));
    EXPECT_EQ(modem.logonLines(), Texts{"\x1bPG1\r"});
    EXPECT_EQ(modem.hangUps(), 0);
}

TEST_F(ConnectTest, PasswordPulseDialingAndNoInitString)
{
    page.setPassword("s3cret");
    page.setDialMethod(dmPulse);
    page.setInitString("");
    EXPECT_TRUE(page.Connect());
    EXPECT_EQ(modem.commands(), Texts{"atdp 5551234"});
    EXPECT_EQ(modem.logonLines(), Texts{"\x1bPG1s3cret\r"});
    EXPECT_EQ(progress.first(), QByteArray("Dialing 5551234"));
}

TEST_F(ConnectTest, MissingNumbersAreRefusedBeforeThePortIsTouched)
{
    page.setProvider("");
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 9);
    page.setProvider("5551234");
    page.setPinNumber("");
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 10);
    EXPECT_FALSE(page.PortOpen());
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_TRUE(modem.received().isEmpty());
}

TEST_F(ConnectTest, PortThatCannotBeOpenedIsAComportError)
{
    dir.write(QStringLiteral("COM2"), "not a device");
    page.setComPort(pnCOM2);
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 12);
    EXPECT_EQ(progress, Texts{"Comm Error"});
}

TEST_F(ConnectTest, SilentModemFailsInitialisationWithoutAFurtherText)
{
    modem.setCommandReply(ScriptedModem::silence());
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 13);
    EXPECT_EQ(progress, Texts{"Intializing Modem"});
    EXPECT_FALSE(page.PortOpen());
    EXPECT_TRUE(modem.dialled().isEmpty());
}

TEST_F(ConnectTest, EveryModemResultHasItsTextAndErrorAndHangsUp)
{
    struct Case
    {
        QByteArray result;
        QByteArray text;
        int code;
        QByteArray message;
    };
    const Case cases[] = {
        {"BUSY", "Line Busy", 21, "Line Busy!"},
        {"NO DIAL TONE", "No Dial Tone", 22, "No Dial Tone!"},
        {"NO CARRIER", "No Carrier", 20, "No Carrier!"},
        {"NO ANSWER", "No Answer", 23, "No Answer!"},
        {"VOICE", "Voice Line", 24, "Voice Connection!"},
        {"", "Connection Failed", 15, "Connection Failed!"},
    };
    int hangUps = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.constData());
        modem.setDefaultDialResult(c.result);
        progress.clear();
        try {
            page.Connect();
            ADD_FAILURE() << "no error raised";
        } catch (const EPageError& e) {
            EXPECT_EQ(static_cast<int>(e.code()), c.code);
            EXPECT_EQ(e.message(), c.message);
        }
        EXPECT_EQ(progress, (Texts{"Intializing Modem", "Dialing 5551234", c.text}));
        EXPECT_FALSE(page.PortOpen());
        EXPECT_TRUE(modem.waitForHangUp(30));
        EXPECT_EQ(modem.hangUps(), ++hangUps);
    }
}

TEST_F(ConnectTest, TerminalThatPromptsOnlyAfterACr)
{
    modem.setIdPrompt(ScriptedModem::IdPrompt::AfterCr);
    EXPECT_TRUE(page.Connect());
    EXPECT_EQ(modem.promptCrs(), 1);
    EXPECT_EQ(modem.logonLines().size(), 1);
}

TEST_F(ConnectTest, TerminalThatNeverPrompts)
{
    modem.setIdPrompt(ScriptedModem::IdPrompt::Never);
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 0);
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_EQ(modem.promptCrs(), 3);
    EXPECT_EQ(progress.last(), QByteArray("No Response From Paging Network"));
    EXPECT_EQ(progress.size(), 4);
    EXPECT_FALSE(page.PortOpen());
    EXPECT_TRUE(modem.logonLines().isEmpty());
}

TEST_F(ConnectTest, TwoRefusalsThenAcceptance)
{
    modem.queueLogonReplies({ScriptedModem::nak(), "ID=", ScriptedModem::ack()});
    EXPECT_TRUE(page.Connect());
    EXPECT_EQ(modem.logonLines().size(), 3);
    EXPECT_EQ(progress.mid(3),
              (Texts{"Loging On", "ReLogin Requested", "ReLogin Requested", "Login Accepted"}));
}

TEST_F(ConnectTest, ThirdRefusalEndsTheCall)
{
    modem.queueLogonReplies(
        {ScriptedModem::nak(), "\n\x15\r", ScriptedModem::nak(), ScriptedModem::ack()});
    EXPECT_EQ(pageErrorOf([&] { page.Connect(); }), 2);
    EXPECT_EQ(modem.logonLines().size(), 3);
    EXPECT_EQ(progress.mid(3),
              (Texts{"Loging On", "ReLogin Requested", "ReLogin Requested", "Login Failed"}));
    EXPECT_FALSE(page.PortOpen());
    EXPECT_TRUE(modem.waitForHangUp(30));
}

TEST_F(ConnectTest, LogonOutcomes)
{
    struct Case
    {
        QByteArray reply;
        bool goAhead;
        QByteArray text;
        int code; // -1: connected
    };
    const Case cases[] = {
        {"\n\x06\r", true, "Login Accepted", -1},
        {ScriptedModem::endOfCall(), true, "Login Denied", 17},
        {"\n\x1b\x04\r", true, "Login Denied", 17},
        {ScriptedModem::silence(), true, "Login Failed", 16},
        {ScriptedModem::ack(), false, "Login Failed", 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toHex().constData());
        progress.clear();
        modem.queueLogonReplies({c.reply});
        modem.setGoAhead(c.goAhead);
        const std::optional<int> code = pageErrorOf([&] { EXPECT_TRUE(page.Connect()); });
        EXPECT_EQ(code.value_or(-1), c.code);
        EXPECT_EQ(progress.last(), c.text);
        EXPECT_EQ(page.PortOpen(), c.code < 0);
        if (c.code == 16 && !c.goAhead) {
            EXPECT_EQ(progress.mid(progress.size() - 2), (Texts{"Login Accepted", "Login Failed"}));
        }
        page.Disconnect();
        EXPECT_TRUE(modem.waitForHangUp(30));
    }
}

TEST_F(ConnectTest, CancelWhileDialingReturnsFalseQuietly)
{
    modem.setDefaultDialResult(ScriptedModem::silence());
    modem.setOnDial([&](const QByteArray&) { page.Disconnect(); });
    bool connected = true;
    EXPECT_NO_THROW(connected = page.Connect());
    EXPECT_FALSE(connected);
    EXPECT_FALSE(page.PortOpen());
    EXPECT_EQ(progress, (Texts{"Intializing Modem", "Dialing 5551234", "Disconnecting..."}));
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_TRUE(modem.received().endsWith("\x1b\x04\r"));
}

TEST_F(ConnectTest, ConnectOnAnOpenPortEndsThePreviousCallFirst)
{
    ASSERT_TRUE(page.Connect());
    progress.clear();
    EXPECT_TRUE(page.Connect());
    EXPECT_EQ(progress.first(), QByteArray("Disconnecting..."));
    EXPECT_TRUE(modem.endOfCallReceived());
    EXPECT_EQ(modem.dialled().size(), 2);
    EXPECT_EQ(modem.logonLines().size(), 2);
}

} // namespace
