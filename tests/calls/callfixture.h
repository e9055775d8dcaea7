#pragma once

#include "calls/callcontrol.h"
#include "queue/companylinesettings.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "queue/queueentry.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/servercoretest.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

class TSock;

// A workstation waiting for error notices on a port of 127.0.0.1: it takes each line and
// closes, as a submitting client does.
class NoticeListener final
{
public:
    NoticeListener();
    ~NoticeListener();
    QByteArray port() const;
    const QByteArray& received() const { return m_received; }
    int connections() const { return m_connections; }

private:
    std::unique_ptr<TSock> m_sock;
    QByteArray m_received;
    int m_connections = 0;
};

// A server state in a fresh data folder whose COM1 is a scripted modem with a TAP terminal,
// the call commands on it, and durations shrunk so a run takes a fraction of a second.
class CallFixture : public ServerCoreTest
{
protected:
    CallFixture();
    ~CallFixture() override;
    void SetUp() override;
    void TearDown() override;

    static QueueEntry entry(const QByteArray& pin, const QByteArray& message,
                            const QByteArray& signature = {},
                            const QByteArray& addressee = "Ann Addressee");
    // Queues a message through the server's queue as a submission does (next free key, line
    // settings rewritten), which counts it.
    void queueMessage(const QByteArray& accessNumber, const QueueEntry& entry,
                      const CompanyLineSettings& settings = {});
    // The queue file, read and written as it is, behind the queue's back.
    MessageQueueFile queueFile() const;
    // The keys of a queue section, in file order; none when it is gone.
    QList<QByteArray> sectionKeys(const QByteArray& section) const;

    CallProcessor& processor() { return m_calls->processor(); }
    // The test's workstations run on this host, whose addresses get no notices in production.
    void allowNoticesToThisHost();
    TOMXPage& engine() { return m_calls->engine(); }

    // "Transmition Log" lines with their leading date-time removed (lines without one, the
    // hyphens and the empty line after them, as they are).
    QStringList transmitTexts() const;
    // Log.Dat texts: each line without its "date-time - " stamp.
    QList<QByteArray> logTexts() const;
    // Messages the terminal took: the message field of every single-block page, per PIN.
    QList<QByteArray> deliveredPins() const;

    ScriptedModem m_modem;
    std::unique_ptr<CallControl> m_calls;
};
