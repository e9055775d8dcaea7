#pragma once

#include "net/tsock.h"
#include "queue/messagequeuefile.h"
#include "tests/support/servercoretest.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"
#include "workstation/submissionhandler.h"

#include <QCoreApplication>
#include <QList>
#include <QMetaObject>

#include <functional>

#include <gtest/gtest.h>

// The listening server and the workstation helpers the conversation suites share.

// Sends a command and checks the whole reply, naming the command when it differs.
#define EXPECT_REPLY(client, command, reply)                                                       \
    EXPECT_EQ((client).exchange((command), (reply)).toStdString(),                                 \
              QByteArray(reply).toStdString())                                                     \
        << "in reply to: " << QByteArray(command).left(60).toStdString()

namespace submission {

inline const QByteArray Accepted = "250 Message Accepted For Processing";
inline const QByteArray Begin = "354 Begin Sending Message";
inline const QByteArray Unknown = "552 Unknown Or Not Implemented Command";

inline QByteArray block(const QList<QByteArray>& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += (text.isEmpty() ? "" : "\r\n") + line;
    return text.toBase64();
}

inline QList<QByteArray> workedLines()
{
    return {"MSG: Call the front desk",
            "SIG: Reception",
            "PIN: 1234567",
            "ID: Pat",
            "AN: 5551234567",
            "LENGTH: 80",
            "PARITY: 2",
            "DATA: 2",
            "STOP: 0"};
}

// The worked example's fields with some replaced or added: each override is a whole line
// starting with its key.
inline QList<QByteArray> linesWith(const QList<QByteArray>& overrides)
{
    QList<QByteArray> lines = workedLines();
    for (const QByteArray& override : overrides) {
        const QByteArray key = override.left(override.indexOf(':') + 1);
        bool replaced = false;
        for (QByteArray& line : lines) {
            if (line.startsWith(key)) {
                line = override;
                replaced = true;
            }
        }
        if (!replaced)
            lines.append(override);
    }
    return lines;
}

inline QByteArray recieved(int count, int minutes)
{
    return "250 Recieved " + QByteArray::number(count) + " Msg(s), Delivery in " +
           QByteArray::number(minutes) + " Min.";
}

} // namespace submission

using namespace submission;

// The server's state with the workstation listener and its submission handler on it, put
// together as the running server puts them.
class ListenerTest : public ServerCoreTest
{
protected:
    SubmissionHandler submissions{core, prompts};
    ServerListener listener{submissions, core, core, prompts};
};

// A listening server with a temporary data folder, its conversations served as the program
// serves them. Durations run at a twentieth, so the 60-second idle limit is 3 s.
class SubmissionServer : public ListenerTest
{
protected:
    void SetUp() override
    {
        pacing.setScale(0.05);
        listener.setPacing(pacing);
        core.setAllowList({"555"});
        core.setNextCheck(4);
        // The server's own listener, on a port the platform picks.
        configure([&](TServerConfig& c) { c.Port = "0"; });
        listener.startListening();
        m_port = listener.Sock1().LocalPort();
        ASSERT_NE(m_port, 0);
    }

    void TearDown() override
    {
        listener.stopListening();
        EXPECT_EQ(listener.limits().nesting(), 0);
    }

    QByteArray host() const { return TSock::LocalAddress(); }
    QByteArray denied() const { return "552 - (" + host() + ") Access To Server Denied!"; }
    QByteArray queueFile() const { return dir.read(MessageQueueFile::FileName); }

    // Runs one client's whole conversation on its thread while the server runs.
    void converse(const std::function<void(WorkstationClient&)>& script)
    {
        runWhilePumping([&] {
            WorkstationClient client;
            ASSERT_TRUE(client.connectTo(m_port));
            script(client);
        });
    }

    // Runs in the event loop of the main thread, from a client thread.
    void onServer(const std::function<void()>& action)
    {
        QMetaObject::invokeMethod(QCoreApplication::instance(), action, Qt::QueuedConnection);
    }

    quint16 m_port = 0;
};
