#include "server/submissionconversation.h"

#include "foundation/convert.h"
#include "foundation/errors.h"
#include "foundation/eventpump.h"
#include "foundation/operatorprompts.h"
#include "foundation/pacing.h"
#include "net/base64.h"
#include "net/esockexception.h"
#include "net/tsock.h"
#include "net/ttimecounter.h"
#include "queue/messagequeuefile.h"
#include "server/allowlist.h"
#include "server/ipmatch.h"
#include "server/servercore.h"
#include "server/submissionblock.h"
#include "server/submissioncheck.h"
#include "server/submissioncommand.h"

#include <QPointer>

namespace {

constexpr qint32 IdleLimit = 60;
constexpr qint32 BusyIdleLimit = 120;

int s_nesting = 0;
int s_maxNesting = SubmissionConversation::DefaultMaxNesting;

QByteArray rejected(const QByteArray& reason)
{
    return "554 Message Rejected: " + reason;
}

QByteArray numberNotAllowed(const QByteArray& number)
{
    return "551 - (" + number + ") Provider Access Number Not Allowed";
}

} // namespace

SubmissionConversation::SubmissionConversation(ServerCore& core, TSock& client)
    : m_core(core), m_client(client), m_idle(std::make_unique<TTimeCounter>())
{
    m_idle->setTimeOut(IdleLimit);
    // One byte over the cap tells that a text is too large; nothing more is buffered.
    m_client.setInputLimit(MaxInput + 1);
}

SubmissionConversation::~SubmissionConversation() = default;

void SubmissionConversation::run()
{
    try {
        for (;;) {
            restartIdle();
            QByteArray text;
            const WaitEnd end = waitForText(text, false, nullptr, true);
            m_idle->Stop();
            if (end == WaitEnd::Closed)
                return;
            if (end == WaitEnd::TimedOut) {
                // No reply. The server never reads from this connection again, so it closes
                // it rather than hold the descriptor until the client thinks of closing.
                closeConnection();
                return;
            }
            if (tooLarge(text) || dispatch(text) == Next::End)
                return;
        }
    } catch (const EIniFileError&) {
        // The queue file could not be written: the conversation ends without a reply.
        closeConnection();
    } catch (const EZelkorError& error) {
        // The transaction log could not be written. The message is in the queue already.
        closeConnection();
        m_core.prompts().showError(error.text());
    }
}

SubmissionConversation::Next SubmissionConversation::dispatch(const QByteArray& text)
{
    const SubmissionCommand command = SubmissionCommand::parse(text);
    switch (command.verb) {
    case SubmissionCommand::Verb::Helo:
        return helo(command.argument);
    case SubmissionCommand::Verb::Page:
        return page(command.argument);
    case SubmissionCommand::Verb::Data:
        return data();
    case SubmissionCommand::Verb::Done:
        return done();
    case SubmissionCommand::Verb::Unknown:
        break;
    }
    if (!reply("552 Unknown Or Not Implemented Command"))
        return Next::End;
    EventPump::once();
    return Next::Continue;
}

SubmissionConversation::Next SubmissionConversation::helo(const QByteArray& argument)
{
    const TServerConfig& config = m_core.config();
    // The stated address is checked as workstations expect; the connection's real address
    // must pass the same lists, so stating someone else's address gains nothing.
    if (realAddressRefused() || !AddressAdmitted(argument, config.IPAccept, config.IPDeny)) {
        reply(deniedReply());
        closeConnection();
        Pacing::pauseResponsive(10);
        if (m_client.Connected())
            m_client.Close();
        return Next::End;
    }
    return reply("250 " + TSock::LocalAddress()) ? Next::Continue : Next::End;
}

SubmissionConversation::Next SubmissionConversation::page(const QByteArray& argument)
{
    const bool allowed = AllowList::allows(m_core.allowList(), argument);
    Pacing::pauseResponsive(500);
    return reply(allowed ? QByteArray("250 OK") : numberNotAllowed(argument)) ? Next::Continue
                                                                              : Next::End;
}

SubmissionConversation::Next SubmissionConversation::data()
{
    if (realAddressRefused()) {
        reply(deniedReply());
        closeConnection();
        return Next::End;
    }
    if (m_core.serverBusy()) {
        if (!reply("355 Server Busy, Please Wait"))
            return Next::End;
        m_idle->setTimeOut(BusyIdleLimit);
        restartIdle();
        bool busyCleared = false;
        QByteArray text;
        const WaitEnd end = waitForText(text, true, &busyCleared, false);
        m_idle->Stop();
        // Whatever arrived in the pass that saw the run end is dropped.
        if (!busyCleared) {
            if (end == WaitEnd::TimedOut) {
                reply("356 Server To Busy, Please Try Later.");
                closeConnection();
                return Next::End;
            }
            if (end == WaitEnd::Closed || tooLarge(text))
                return Next::End;
            if (text.startsWith("DONE"))
                return done();
            return reply("552 Unknown Or Not Implemented Command") ? Next::Continue : Next::End;
        }
    }
    if (!reply("354 Begin Sending Message"))
        return Next::End;
    Pacing::pauseResponsive(50);
    restartIdle();
    QByteArray block;
    const WaitEnd end = waitForText(block, false, nullptr, false);
    m_idle->Stop();
    if (end == WaitEnd::TimedOut)
        closeConnection();
    if (end != WaitEnd::Received || tooLarge(block))
        return Next::End;
    return queueBlock(block);
}

SubmissionConversation::Next SubmissionConversation::done()
{
    reply("250 Recieved " + QByteArray::number(m_accepted) + " Msg(s), Delivery in " +
          QByteArray::number(m_core.nextCheck()) + " Min.");
    closeConnection();
    if (m_client.Connected())
        m_client.Close();
    return Next::End;
}

SubmissionConversation::Next SubmissionConversation::queueBlock(const QByteArray& encoded)
{
    const SubmissionBlock block = SubmissionBlock::fromText(Base64Decode(encoded));
    // The access number is what call processing dials: it must be one the operator allows,
    // and nothing but a number, or a client could make the modem dial or do anything.
    if (!SubmissionCheck::isDiallable(block.accessNumber) ||
        !AllowList::allows(m_core.allowList(), block.accessNumber))
        return reply(numberNotAllowed(block.accessNumber)) ? Next::Continue : Next::End;
    if (const std::optional<QByteArray> reason = SubmissionCheck::rejectionReason(block))
        return reply(rejected(*reason)) ? Next::Continue : Next::End;

    const QueueEntry entry{block.message, block.signature, block.pin, m_client.HostName(),
                           block.id};
    if (entry.format().size() > SubmissionCheck::MaxEntryLength)
        return reply(rejected("Message Too Long")) ? Next::Continue : Next::End;

    EventPump::once();
    // The free key is looked up and written with no event-loop pass in between, so a
    // conversation served inside this one cannot take the same key.
    const std::optional<qint32> n = MessageQueueFile(m_core.dataFile(QStringLiteral("Message.Dat")))
                                        .nextFreeMessageKey(block.accessNumber);
    if (!n)
        return reply(rejected("Queue Full")) ? Next::Continue : Next::End;
    queueAndShow(block, *n);
    return reply("250 Message Accepted For Processing") ? Next::Continue : Next::End;
}

void SubmissionConversation::queueAndShow(const SubmissionBlock& block, qint32 n)
{
    const QByteArray sender = m_client.HostName();
    MessageQueueFile::LineSettings settings;
    settings.password = block.password;
    settings.length = block.length;
    settings.parity = StrToInt(block.parity);
    settings.dataBits = StrToInt(block.dataBits);
    settings.stopBits = StrToInt(block.stopBits);
    MessageQueueFile(m_core.dataFile(QStringLiteral("Message.Dat")))
        .writeSubmission(block.accessNumber, settings, n,
                         QueueEntry{block.message, block.signature, block.pin, sender, block.id});

    const QByteArray lines[] = {
        "Message Received From: " + sender, "  Msg. To: " + block.id,
        "         PIN: " + block.pin,       " Provider: " + block.accessNumber,
        "Message: " + block.message,        QByteArray(42, '-'),
    };
    for (const QByteArray& line : lines) {
        m_core.addConnectionLog(QString::fromLatin1(line));
        m_core.AppendLog(line);
    }
    m_core.setQueuedCount(m_core.queuedCount() + 1);
    ++m_accepted;
}

SubmissionConversation::WaitEnd SubmissionConversation::waitForText(QByteArray& text, bool busyWait,
                                                                    bool* busyCleared,
                                                                    bool closedFirst)
{
    WaitEnd end = WaitEnd::TimedOut;
    waitUntil(*m_idle, [&] {
        if (closedFirst && !m_client.Connected()) {
            end = WaitEnd::Closed;
            return true;
        }
        try {
            text = m_client.ReceiveCount(static_cast<int>(MaxInput + 1));
        } catch (const ESockException&) {
            end = WaitEnd::Closed;
            return true;
        }
        if (busyWait && !m_core.serverBusy()) {
            *busyCleared = true;
            end = WaitEnd::Received;
            return true;
        }
        if (!closedFirst && !m_client.Connected()) {
            end = WaitEnd::Closed;
            return true;
        }
        if (!text.isEmpty()) {
            end = WaitEnd::Received;
            return true;
        }
        return false;
    });
    return end;
}

void SubmissionConversation::restartIdle()
{
    // The counter keeps TimedOut once set. It can run out while a conversation or a call
    // processing run served inside a wait holds the event loop, with this client's text already
    // waiting; that text is served, and the next wait must then count the whole limit again.
    m_idle->setTimedOut(false);
    m_idle->Start();
}

bool SubmissionConversation::tooLarge(const QByteArray& text)
{
    if (text.size() <= MaxInput)
        return false;
    reply(rejected("Too Large"));
    closeConnection();
    return true;
}

bool SubmissionConversation::reply(const QByteArray& text)
{
    try {
        m_client.Send(text);
        return true;
    } catch (const ESockException&) {
        closeConnection();
        return false;
    }
}

bool SubmissionConversation::realAddressRefused() const
{
    const TServerConfig& config = m_core.config();
    return !AddressAdmitted(m_client.HostName(), config.IPAccept, config.IPDeny);
}

QByteArray SubmissionConversation::deniedReply() const
{
    return "552 - (" + TSock::LocalAddress() + ") Access To Server Denied!";
}

void SubmissionConversation::closeConnection()
{
    m_client.Close();
}

void SubmissionConversation::serve(ServerCore& core, TSock& listener, TSock& client)
{
    // Counts this conversation on the stack for as long as it runs, however it ends.
    class NestingGuard final
    {
    public:
        explicit NestingGuard(TSock& listener) : m_listener(&listener)
        {
            if (++s_nesting >= s_maxNesting)
                listener.setAcceptPaused(true);
        }
        ~NestingGuard()
        {
            // Accepting resumes once a conversation at the bound has ended.
            if (s_nesting-- >= s_maxNesting && m_listener)
                m_listener->setAcceptPaused(false);
        }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        QPointer<TSock> m_listener;
    };

    NestingGuard guard(listener);
    SubmissionConversation(core, client).run();
}

void SubmissionConversation::setMaxNesting(int conversations)
{
    s_maxNesting = conversations > 0 ? conversations : 1;
}

int SubmissionConversation::maxNesting()
{
    return s_maxNesting;
}

int SubmissionConversation::nesting()
{
    return s_nesting;
}
