// The submission protocol against a hostile or broken workstation: real clients on loopback
// addresses, the queue file read back as call processing reads it.

#include "foundation/tinifile.h"
#include "queue/messagequeuefile.h"
#include "queue/queueentry.h"
#include "tests/support/engineblocks.h"
#include "tests/support/loopbackclient.h"
#include "tests/workstation/submissionserver.h"
#include "workstation/conversationlimits.h"
#include "workstation/submissionconversation.h"
#include "workstation/submissionreader.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray MarkerRefusal = "554 Message Rejected: Field Holds A Queue Marker";

// A field made of the markers' own characters: single characters of their alphabet, the
// beginnings and ends of markers (which a neighbouring marker may complete) and whole markers.
QByteArray markerField(QRandomGenerator& random)
{
    static const QByteArray alphabet = "*MSGIPNURD0123456789";
    static const QByteArray markers[] = {"*MSG*", "*SIG*", "*PIN*", "*USR*", "*ID*"};
    QByteArray field;
    const int tokens = static_cast<int>(random.bounded(5));
    for (int i = 0; i < tokens; ++i) {
        const QByteArray& marker = markers[random.bounded(5)];
        const int cut = 1 + static_cast<int>(random.bounded(marker.size() - 1));
        const quint32 kind = random.bounded(20);
        if (kind < 8)
            field += alphabet[random.bounded(alphabet.size())];
        else if (kind < 13)
            field += marker.left(cut);
        else if (kind < 18)
            field += marker.mid(cut);
        else
            field += marker;
    }
    return field;
}

// Waits up to the client's safety limit for what ends a connection: 0 for an orderly end,
// else the error (ECONNRESET when the server's platform reset it). Bytes still arriving are
// returned through `extra`.
int endOfStream(int fd, QByteArray& extra)
{
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, WorkstationClient::SafetyMs) <= 0)
            return ETIMEDOUT;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return 0;
        if (n < 0)
            return errno;
        extra.append(buffer, n);
    }
}

} // namespace

TEST_F(SubmissionServer, FieldsOfMarkerCharactersReadBackExactlyOrAreRefused)
{
    QRandomGenerator random(20261207);
    int accepted = 0;
    int refused = 0;
    converse([&](WorkstationClient& c) {
        for (int i = 0; i < 150; ++i) {
            // The PIN starts with a digit: an empty one has a refusal of its own.
            const QByteArray message = markerField(random);
            const QByteArray signature = markerField(random);
            const QByteArray pin = "1" + markerField(random);
            const QByteArray id = markerField(random);
            const QByteArray section = "555" + QByteArray::number(i);
            const std::string fields =
                (message + " | " + signature + " | " + pin + " | " + id).toStdString();
            const QByteArray before = queueFile();
            EXPECT_REPLY(c, "DATA", Begin);
            // The shorter reply is read first; the refusal is the longer one.
            QByteArray reply =
                c.exchange(block(linesWith({"MSG: " + message, "SIG: " + signature, "PIN: " + pin,
                                            "ID: " + id, "AN: " + section})),
                           Accepted);
            if (reply != Accepted)
                reply += c.read(MarkerRefusal.size() - reply.size());
            if (reply == Accepted) {
                ++accepted;
                const QueueEntry stored = QueueEntry::parse(
                    TIniFile(dir.file(MessageQueueFile::FileName)).ReadText(section, "MSG1", {}));
                EXPECT_EQ(stored, (QueueEntry{message, signature, pin, "127.0.0.1", id}))
                    << "stored otherwise than sent: " << fields;
            } else {
                ++refused;
                EXPECT_EQ(reply.toStdString(), MarkerRefusal.toStdString()) << fields;
                EXPECT_EQ(queueFile(), before) << "a refused block wrote something: " << fields;
            }
        }
    });
    // Both outcomes are exercised.
    EXPECT_GT(accepted, 20);
    EXPECT_GT(refused, 20);
    EXPECT_EQ(core.queuedCount(), accepted);
}

TEST_F(SubmissionServer, HostileFieldsAreRefusedWithNothingWrittenAndLengthIsStoredAsANumber)
{
    converse([&](WorkstationClient& c) {
        // Each field alone holds no whole marker; joined, they would shift the PIN and the
        // sender and carry control bytes to the terminal.
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c,
                     block({"MSG: m*SIG", "PIN: q*PIN", "ID: \x03\x04\x1bX", "AN: 5551234567",
                            "LENGTH: 80", "PARITY: 2", "DATA: 2", "STOP: 0"}),
                     MarkerRefusal);
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"PIN:"})), "554 Message Rejected: Invalid PIN");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"PW: 1\t2"})), "554 Message Rejected: Invalid Password");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"LENGTH: 0x50"})), "554 Message Rejected: Invalid Length");
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"LENGTH: 0080"})), Accepted);
    });
    EXPECT_TRUE(queueFile().contains("\r\nLength=80\r\n")) << queueFile().toStdString();
}

// The engine sends at most twenty blocks of a page: a text that needs more is refused before
// "250" and named in the Connection Log, and a text of exactly twenty is queued.
TEST_F(SubmissionServer, ATextTheEngineWouldCutIsRefusedAndOneOfTwentyBlocksIsQueued)
{
    QByteArray long949;
    while (long949.size() < 949)
        long949 += "Disk full on db7, ";
    long949.truncate(949);
    // With the signature line the engine sends the whole text in twenty blocks at most.
    const QByteArray twenty = EngineBlocks::longestWhole("1234567", 80, true, "\nReception");
    ASSERT_GT(twenty.size(), 500);
    ASSERT_FALSE(EngineBlocks::sendsWhole("1234567", 80, twenty + "d\nReception", true));
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"MSG: " + long949})),
                     "554 Message Rejected: Message Too Long");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"MSG: " + twenty + "d"})),
                     "554 Message Rejected: Message Too Long");
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(core.connectionLog().contains(
        QStringLiteral("Message Refused From: 127.0.0.1 (Message Too Long)")));
    // A PIN that leaves no room to split a text at its length: the engine would refuse the
    // page at the call, so it is refused now; a text that fits one block still goes.
    const QByteArray longPin(40, '4');
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"PIN: " + longPin, "MSG: Disk full on db7 again"})),
                     "554 Message Rejected: Message Too Long");
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"MSG: " + twenty})), Accepted);
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"PIN: " + longPin, "SIG: ", "MSG: Disk full"})), Accepted);
    });
    EXPECT_TRUE(queueFile().contains(twenty)) << queueFile().toStdString();
}

// A client that resets its connection ends its conversation in whatever wait that is in, so
// the older conversation beneath it is answered at once. Real durations: the newer one's idle
// limit (60 s) lies beyond the client's safety limit, so a held conversation fails the test.
TEST_F(SubmissionServer, AResetInEachWaitEndsThatConversationAndTheOlderIsAnsweredAtOnce)
{
    pacing.setScale(1.0);
    const auto resetWhile = [&](const char* wait,
                                const std::function<void(WorkstationClient&)>& enter) {
        runWhilePumping([&] {
            WorkstationClient older;
            WorkstationClient newer;
            ASSERT_TRUE(older.connectTo(m_port, "127.0.0.2"));
            EXPECT_REPLY(older, "HELO 127.0.0.2", "250 " + host());
            ASSERT_TRUE(newer.connectTo(m_port, "127.0.0.3"));
            EXPECT_REPLY(newer, "HELO 127.0.0.3", "250 " + host());
            enter(newer);
            newer.abort();
            EXPECT_REPLY(older, "DONE", recieved(0, 4)) << "after a reset in the " << wait;
        });
    };
    resetWhile("command wait", [](WorkstationClient&) {});
    resetWhile("data block wait", [](WorkstationClient& c) { EXPECT_REPLY(c, "DATA", Begin); });
    resetWhile("pause after PAGE", [](WorkstationClient& c) { EXPECT_TRUE(c.send("PAGE 555")); });
    resetWhile("middle of a block", [](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_TRUE(c.send(block(workedLines()).left(40)));
    });
    core.setServerBusy(true);
    resetWhile("busy wait", [](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", "355 Server Busy, Please Wait");
    });
    core.setServerBusy(false);
    // Every connection was released, the reset ones included.
    EXPECT_TRUE(waitFor([&] { return listener.Sock1().findChildren<TSock*>().isEmpty(); }));
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

TEST_F(SubmissionServer, OneAddressHoldsAtMostEightConversationsWhileOthersAreServed)
{
    pacing.setScale(1.0); // nothing here may end by running out of time
    runWhilePumping([&] {
        std::vector<std::unique_ptr<WorkstationClient>> held;
        for (int i = 0; i < ConversationLimits::MaxPerAddress; ++i) {
            held.push_back(std::make_unique<WorkstationClient>());
            ASSERT_TRUE(held.back()->connectTo(m_port, "127.0.0.2"));
            EXPECT_REPLY(*held.back(), "HELO 127.0.0.2", "250 " + host());
        }
        WorkstationClient ninth;
        ASSERT_TRUE(ninth.connectTo(m_port, "127.0.0.2"));
        EXPECT_TRUE(ninth.closedByServer()) << "the ninth from one address is turned away";
        WorkstationClient other;
        ASSERT_TRUE(other.connectTo(m_port, "127.0.0.3"));
        EXPECT_REPLY(other, "HELO 127.0.0.3", "250 " + host());
        EXPECT_REPLY(other, "DONE", recieved(0, 4));
        // Clients that have gone count no more, though their conversations wait on the stack
        // beneath the newest one: the address may connect again.
        for (size_t i = 1; i + 1 < held.size(); ++i)
            held[i]->close();
        EXPECT_REPLY(*held.back(), "NOOP", Unknown);
        WorkstationClient again;
        ASSERT_TRUE(again.connectTo(m_port, "127.0.0.2"));
        EXPECT_REPLY(again, "HELO 127.0.0.2", "250 " + host());
        EXPECT_REPLY(again, "DONE", recieved(0, 4));
        // The oldest and the newest were served all along, not timed out.
        EXPECT_REPLY(*held.back(), "DONE", recieved(0, 4));
        EXPECT_REPLY(*held.front(), "DONE", recieved(0, 4));
    });
    EXPECT_EQ(
        core.connectionLog(),
        QStringList{QStringLiteral("Connection Refused From: 127.0.0.2 (Too Many Connections)")});
}

// The server stops reading at its cap, so the client is still sending when the refusal comes.
// The refusal must arrive, and the connection end in order: closing with unread input makes the
// platform answer with a reset, which lets the client's platform drop the reply unread.
TEST_F(SubmissionServer, TooLargeReachesAClientThatKeepsSendingAndTheConnectionEndsInOrder)
{
    const QByteArray tooLarge = "554 Message Rejected: Too Large";
    WorkstationClient c;
    QByteArray reply;
    int end = -1;
    int sendError = 0;
    QByteArray extra;
    runWhilePumping([&] {
        ASSERT_TRUE(c.connectTo(m_port));
        EXPECT_REPLY(c, "HELO 127.0.0.1", "250 " + host());
        // While a newer conversation runs, the client sends far beyond the cap, so unread
        // input waits at the server when the older conversation refuses the text.
        WorkstationClient newer;
        ASSERT_TRUE(newer.connectTo(m_port));
        EXPECT_REPLY(newer, "HELO 127.0.0.1", "250 " + host());
        std::atomic<bool> stop = false;
        std::atomic<qint64> sent = 0;
        std::thread sender([&] {
            const QByteArray chunk = "HELO " + QByteArray(16384, '1');
            while (!stop) {
                const ssize_t n = ::send(c.handle(), chunk.constData(), chunk.size(), MSG_NOSIGNAL);
                if (n < 0) {
                    // The platform tells a reset to whichever call meets it first.
                    sendError = errno;
                    return;
                }
                sent += n;
            }
        });
        for (int i = 0; i < 5000 && sent < 2 * SubmissionConversation::MaxInput; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_REPLY(newer, "DONE", recieved(0, 4));
        reply = c.read(tooLarge.size());
        stop = true;
        sender.join();
        ::shutdown(c.handle(), SHUT_WR);
        end = endOfStream(c.handle(), extra);
    });
    EXPECT_EQ(reply.toStdString(), tooLarge.toStdString());
    EXPECT_EQ(sendError, 0) << "the server reset the connection while the client was sending";
    EXPECT_EQ(end, 0) << "the connection ended with error " << end;
    EXPECT_TRUE(extra.isEmpty()) << extra.left(80).toStdString();
    // Once the server has closed its side, nothing resets the connection afterwards.
    EXPECT_TRUE(waitFor([&] { return listener.Sock1().findChildren<TSock*>().isEmpty(); }));
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(c.handle(), SOL_SOCKET, SO_ERROR, &error, &length);
    EXPECT_EQ(error, 0);
}

TEST_F(SubmissionServer, ATextSentInOneWriteIsTakenWholeAcrossSegments)
{
    // Larger than one receive and than the entry the store keeps: one refusal, for one block.
    QList<QByteArray> lines = workedLines();
    lines[0] = "MSG: " + QByteArray(30000, 'x');
    const QByteArray large = block(lines);
    ASSERT_GT(large.size(), 40000);
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        // Past the pause after "354", which would take in everything that arrives meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_REPLY(c, large, "554 Message Rejected: Message Too Long");
        // Had the block been taken as two texts, the rest would have been answered as a command
        // first.
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
    });

    // About 1.4 KB with the message last, written as two pieces 1 ms apart: queued whole.
    const QByteArray message = "Long " + QByteArray(900, 'm');
    // A length that takes the text in one block: only its arrival in pieces is tried here.
    QList<QByteArray> split = linesWith({"MSG: " + message, "LENGTH: 999"});
    split.move(0, split.size() - 1);
    const QByteArray pieces = block(split);
    bool tried = false;
    for (int attempt = 0; attempt < 5 && !tried; ++attempt) {
        QFile::remove(dir.file(MessageQueueFile::FileName));
        converse([&](WorkstationClient& c) {
            EXPECT_REPLY(c, "DATA", Begin);
            // Past the pause after "354": the server waits for the block when it comes.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            QElapsedTimer gap;
            EXPECT_TRUE(c.send(pieces.left(700)));
            gap.start();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const qint64 apartUs = gap.nsecsElapsed() / 1000;
            EXPECT_TRUE(c.send(pieces.mid(700)));
            // A machine too busy to keep the pieces close is no test of the server.
            if (apartUs > 1000 * SubmissionReader::QuietMs - 1000)
                return;
            tried = true;
            EXPECT_EQ(c.read(Accepted.size()).toStdString(), Accepted.toStdString());
            EXPECT_REPLY(c, "DONE", recieved(1, 4));
        });
    }
    if (!tried)
        GTEST_SKIP() << "the two pieces never went out close enough together";
    EXPECT_EQ(QueueEntry::parse(
                  TIniFile(dir.file(MessageQueueFile::FileName)).ReadText("5551234567", "MSG1", {}))
                  .message,
              message);
}

// Workstations that connect in the same instant wait in the listen backlog for their turn while
// the server serves the others; none is turned away or reset. They come from 50 addresses, six
// each.
TEST_F(SubmissionServer, ThreeHundredClientsConnectingAtOnceAreAllServed)
{
    pacing.setScale(1.0); // no conversation may end by running out of time
    constexpr int Count = 300;
    const QByteArray greeting = "250 " + host();
    const QByteArray farewell = recieved(0, 4);
    struct Client
    {
        int fd = -1;
        int step = 0; // 0 connecting, 1 greeted, 2 said goodbye, 3 served, 4 failed
        QByteArray in;
    };
    std::vector<Client> clients(Count);
    runWhilePumping([&] {
        for (int i = 0; i < Count; ++i) {
            Client& c = clients[i];
            c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + static_cast<quint32>(i % 50));
            ::bind(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(m_port);
            if (::connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
                errno != EINPROGRESS)
                c.step = 4;
        }
        QDeadlineTimer safety(120000);
        for (;;) {
            std::vector<pollfd> watched;
            std::vector<Client*> owners;
            for (Client& c : clients) {
                if (c.step < 3) {
                    watched.push_back(
                        {c.fd, static_cast<short>(c.step == 0 ? POLLOUT : POLLIN), 0});
                    owners.push_back(&c);
                }
            }
            if (watched.empty() || safety.hasExpired())
                break;
            if (::poll(watched.data(), watched.size(), 1000) <= 0)
                continue;
            for (size_t k = 0; k < watched.size(); ++k) {
                Client& c = *owners[k];
                if (watched[k].revents == 0)
                    continue;
                if (c.step == 0) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
                    c.step =
                        error == 0 && ::send(c.fd, "HELO 10.0.0.1", 13, MSG_NOSIGNAL) == 13 ? 1 : 4;
                    continue;
                }
                char buffer[512];
                const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
                if (n > 0)
                    c.in.append(buffer, n);
                if (c.step == 1 && c.in == greeting) {
                    c.in.clear();
                    c.step = ::send(c.fd, "DONE", 4, MSG_NOSIGNAL) == 4 ? 2 : 4;
                } else if (n == 0 || (n < 0 && errno != EAGAIN)) {
                    c.step = c.step == 2 && c.in == farewell ? 3 : 4;
                }
            }
        }
    });
    int served = 0;
    for (Client& c : clients) {
        served += c.step == 3 ? 1 : 0;
        ::close(c.fd);
    }
    EXPECT_EQ(served, Count);
    EXPECT_TRUE(core.connectionLog().isEmpty()) << core.connectionLog().join(u'|').toStdString();
}
