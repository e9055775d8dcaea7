#include "tests/app/pagesenders.h"

#include "tests/snpp/snppclient.h"
#include "tests/support/workstationclient.h"

#include <chrono>
#include <random>

#include <poll.h>

namespace {

// The rest of a reply that is none of those awaited: what arrives before a short pause.
QByteArray drain(WorkstationClient& client, QByteArray text)
{
    for (;;) {
        pollfd ready{client.handle(), POLLIN, 0};
        if (::poll(&ready, 1, 200) <= 0)
            return text;
        const QByteArray more = client.read(1);
        if (more.isEmpty())
            return text;
        text += more;
    }
}

// One reply of the workstation protocol. Replies carry no line end: it reads until what arrived
// is one of `expected`, or cannot become one; empty when the connection ended first.
QByteArray reply(WorkstationClient& client, const QList<QByteArray>& expected)
{
    QByteArray text;
    for (;;) {
        const QByteArray more = client.read(1);
        if (more.isEmpty())
            return {};
        text += more;
        bool prefix = false;
        for (const QByteArray& candidate : expected) {
            if (text == candidate)
                return text;
            prefix = prefix || candidate.startsWith(text);
        }
        if (!prefix)
            return drain(client, text);
    }
}

QByteArray block(const QByteArray& message, const QByteArray& from)
{
    return QByteArray("MSG: " + message + "\r\nPIN: 1234567\r\nID: " + from +
                      "\r\nAN: 5551234\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
        .toBase64();
}

// The single id of "250 Message Sent Successfully (Ids 17)"; 0 when there is none.
qint64 idOf(const QByteArray& reply)
{
    const qsizetype from = reply.indexOf("(Ids ");
    const qsizetype to = reply.indexOf(')', from);
    return from >= 0 && to > from ? reply.mid(from + 5, to - from - 5).toLongLong() : 0;
}

void pause(std::mt19937& random)
{
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 900)(random)));
}

} // namespace

void PageLedger::add(QSet<QByteArray>& set, const QByteArray& text)
{
    const std::lock_guard<std::mutex> hold(lock);
    set.insert(text);
}

void PageLedger::acknowledge(const QByteArray& text, qint64 id)
{
    const std::lock_guard<std::mutex> hold(lock);
    acknowledged.insert(text, id);
}

QSet<QByteArray> PageLedger::unanswered()
{
    const std::lock_guard<std::mutex> hold(lock);
    QSet<QByteArray> open;
    for (const QByteArray& text : handedOver)
        if (!acknowledged.contains(text) && !refused.contains(text))
            open.insert(text);
    return open;
}

QByteArray pageText(const char* kind, int round, int client, int number)
{
    return kind + QByteArray::number(round).rightJustified(2, '0') + '-' +
           QByteArray::number(client) + '-' + QByteArray::number(number).rightJustified(3, '0');
}

PageSenders::PageSenders(PageLedger& ledger, quint16 workstationPort, quint16 snppPort)
    : m_ledger(ledger), m_port(workstationPort), m_snppPort(snppPort)
{
}

PageSenders::~PageSenders()
{
    stop();
}

void PageSenders::start(int round, unsigned seed, int pagesEach)
{
    m_stop = false;
    for (int client = 0; client < 2; ++client) {
        m_threads.emplace_back(
            [=, this] { workstation(round, client, seed * 4 + unsigned(client), pagesEach); });
        m_threads.emplace_back(
            [=, this] { snpp(round, client, seed * 4 + 2 + unsigned(client), pagesEach); });
    }
}

void PageSenders::stop()
{
    m_stop = true;
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
}

void PageSenders::workstation(int round, int client, unsigned seed, int pages)
{
    std::mt19937 random(seed);
    const QByteArray from = "127.0.0." + QByteArray::number(2 + client);
    int number = 0;
    while (!m_stop && number < pages) {
        WorkstationClient connection;
        if (!connection.connectTo(m_port, from))
            return;
        connection.send("HELO " + from);
        if (reply(connection, {"250 " + from}) != "250 " + from)
            return;
        // A few pages per conversation, then the next one.
        for (int inConversation = 0; inConversation < 3 && !m_stop && number < pages;
             ++inConversation) {
            pause(random);
            connection.send("DATA");
            QByteArray answer =
                reply(connection, {"354 Begin Sending Message", "355 Server Busy, Please Wait"});
            // During a run the server holds the block back until the run has ended.
            if (answer == "355 Server Busy, Please Wait")
                answer = reply(connection, {"354 Begin Sending Message"});
            if (answer != "354 Begin Sending Message")
                return;
            const QByteArray text = pageText("ws", round, client, number++);
            m_ledger.add(m_ledger.handedOver, text);
            connection.send(block(text, "Pat"));
            answer = reply(connection, {"250 Message Accepted For Processing"});
            if (answer.isEmpty())
                return;
            if (answer == "250 Message Accepted For Processing")
                m_ledger.acknowledge(text, 0);
            else
                m_ledger.add(m_ledger.refused, text);
        }
        connection.send("DONE");
        if (reply(connection, {}).isEmpty())
            return;
    }
}

void PageSenders::snpp(int round, int client, unsigned seed, int pages)
{
    std::mt19937 random(seed);
    const QByteArray from = "127.0.0." + QByteArray::number(4 + client);
    SnppClient connection(m_snppPort, from.constData());
    if (!connection.isOpen() || !connection.line().startsWith("220 "))
        return;
    for (int number = 0; !m_stop && number < pages; ++number) {
        pause(random);
        const QByteArray text = pageText("sn", round, client, number);
        if (!connection.command("PAGE alice").startsWith("250 ") ||
            !connection.command("MESS " + text).startsWith("250 "))
            return;
        m_ledger.add(m_ledger.handedOver, text);
        const QByteArray answer = connection.command("SEND");
        if (answer.isEmpty())
            return;
        if (answer.startsWith("250 Message Sent Successfully"))
            m_ledger.acknowledge(text, idOf(answer));
        else
            m_ledger.add(m_ledger.refused, text);
    }
    connection.command("QUIT");
}
