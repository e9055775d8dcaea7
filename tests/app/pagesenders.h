#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// What the paging clients of a test learnt, page by page, keyed by the page's unique text.
struct PageLedger
{
    std::mutex lock;
    // The command that hands the page over went out (the block, SNPP's SEND).
    QSet<QByteArray> handedOver;
    // Its "250" was read: the page is taken. SNPP pages with the id the reply named, others 0.
    QHash<QByteArray, qint64> acknowledged;
    // Another answer came: the page was not taken.
    QSet<QByteArray> refused;

    void add(QSet<QByteArray>& set, const QByteArray& text);
    void acknowledge(const QByteArray& text, qint64 id);
    // Handed over, and no answer ever read: the connection ended first.
    QSet<QByteArray> unanswered();
};

// Workstations and SNPP clients handing in pages with unique texts on threads of their own,
// each at its own pace from a seeded generator, until stopped or until the server goes away.
// Texts are "ws" or "sn", the round, the client and a page number, all of fixed width, so no
// text is the beginning of another.
class PageSenders final
{
public:
    PageSenders(PageLedger& ledger, quint16 workstationPort, quint16 snppPort);
    ~PageSenders();
    PageSenders(const PageSenders&) = delete;
    PageSenders& operator=(const PageSenders&) = delete;

    // Two workstations (127.0.0.2, .3) and two SNPP clients (127.0.0.4, .5), at most
    // `pagesEach` pages each.
    void start(int round, unsigned seed, int pagesEach);
    // Tells them to stop after the page in hand, and waits for them.
    void stop();

private:
    void workstation(int round, int client, unsigned seed, int pages);
    void snpp(int round, int client, unsigned seed, int pages);

    PageLedger& m_ledger;
    quint16 m_port;
    quint16 m_snppPort;
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// A text the senders use: "ws03-1-007".
QByteArray pageText(const char* kind, int round, int client, int number);
