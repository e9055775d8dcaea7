#include "workstation/submissionconversation.h"

#include "foundation/errors.h"
#include "foundation/eventpump.h"
#include "foundation/ttimecounter.h"
#include "net/base64.h"
#include "net/esockexception.h"
#include "net/tsock.h"
#include "queue/queuesubmission.h"
#include "workstation/isubmissionhandler.h"
#include "workstation/submissionblock.h"
#include "workstation/submissioncommand.h"
#include "workstation/submissionreader.h"

#include <utility>

namespace {

constexpr qint32 IdleLimit = 60;
constexpr qint32 BusyIdleLimit = 120;

QByteArray rejected(const QByteArray& reason)
{
    return "554 Message Rejected: " + reason;
}

QByteArray numberNotAllowed(const QByteArray& number)
{
    return "551 - (" + number + ") Provider Access Number Not Allowed";
}

} // namespace

SubmissionConversation::SubmissionConversation(ISubmissionHandler& handler, TSock& client)
    : m_handler(handler), m_client(client), m_idle(std::make_unique<TTimeCounter>(client.pacing())),
      m_reader(std::make_unique<SubmissionReader>(client, *m_idle, MaxInput))
{
    m_idle->setTimeOut(IdleLimit);
    // One byte over the cap tells that a text is too large; nothing more is buffered.
    m_client.setInputLimit(MaxInput + 1);
}

SubmissionConversation::~SubmissionConversation() = default;

void SubmissionConversation::setFirstCommand(const QDeadlineTimer& by,
                                             std::function<void()> arrived)
{
    m_firstCommandBy = by;
    m_firstCommandArrived = std::move(arrived);
}

void SubmissionConversation::run()
{
    try {
        for (;;) {
            restartIdle();
            QByteArray text;
            const SubmissionReader::End end = m_reader->command(text, m_firstCommandBy);
            m_idle->Stop();
            if (end != SubmissionReader::End::Received) {
                // Gone, or idle: no reply. After an idle time-out the server never reads from
                // this connection again, so it closes it rather than hold the descriptor until
                // the client thinks of closing.
                release();
                return;
            }
            // Whatever the first command is, it is answered, and the idle limits hold from
            // then on.
            m_firstCommandBy = QDeadlineTimer(QDeadlineTimer::Forever);
            if (const std::function<void()> arrived = std::exchange(m_firstCommandArrived, {}))
                arrived();
            if (tooLarge(text) || dispatch(text) == Next::End)
                return;
        }
    } catch (const EZelkorError& error) {
        // A failure no step answers itself. The operator hears of it without the server
        // waiting for an answer: a modal box here would hold this conversation and every one
        // below it in the nesting.
        release();
        m_handler.reportFailure(error.text());
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
    // The stated address is checked as workstations expect; the connection's real address
    // must pass the same lists, so stating someone else's address gains nothing.
    if (realAddressRefused() || !m_handler.addressAdmitted(argument)) {
        if (reply(deniedReply()))
            closeAfterReply();
        return Next::End;
    }
    return reply("250 " + hostAddress()) ? Next::Continue : Next::End;
}

SubmissionConversation::Next SubmissionConversation::page(const QByteArray& argument)
{
    const bool allowed = m_handler.allowListAllows(argument);
    if (!m_reader->pause(500)) {
        release();
        return Next::End;
    }
    return reply(allowed ? QByteArray("250 OK") : numberNotAllowed(argument)) ? Next::Continue
                                                                              : Next::End;
}

SubmissionConversation::Next SubmissionConversation::data()
{
    if (realAddressRefused()) {
        if (reply(deniedReply()))
            closeAfterReply();
        return Next::End;
    }
    if (m_handler.serverBusy()) {
        if (!reply("355 Server Busy, Please Wait"))
            return Next::End;
        m_idle->setTimeOut(BusyIdleLimit);
        restartIdle();
        bool busyCleared = false;
        QByteArray text;
        const SubmissionReader::End end = m_reader->whileBusy(
            text, [this] { return m_handler.serverBusy(); }, busyCleared);
        m_idle->Stop();
        // Whatever arrived in the pass that saw the run end is dropped.
        if (!busyCleared) {
            if (end == SubmissionReader::End::TimedOut) {
                if (reply("356 Server To Busy, Please Try Later."))
                    closeAfterReply();
                return Next::End;
            }
            if (end == SubmissionReader::End::Closed) {
                release();
                return Next::End;
            }
            if (tooLarge(text))
                return Next::End;
            if (text.startsWith("DONE"))
                return done();
            return reply("552 Unknown Or Not Implemented Command") ? Next::Continue : Next::End;
        }
    }
    if (!reply("354 Begin Sending Message"))
        return Next::End;
    if (!m_reader->pause(50)) {
        release();
        return Next::End;
    }
    restartIdle();
    QByteArray block;
    const SubmissionReader::End end = m_reader->block(block, &SubmissionBlock::mayBeWhole);
    m_idle->Stop();
    if (end != SubmissionReader::End::Received) {
        release();
        return Next::End;
    }
    if (block.size() > MaxInput) {
        m_handler.logRefusal({PageRefusal::Kind::Rejected, "Too Large"}, m_client.HostName());
        tooLarge(block);
        return Next::End;
    }
    return queueBlock(block);
}

SubmissionConversation::Next SubmissionConversation::done()
{
    if (reply("250 Recieved " + QByteArray::number(m_accepted) + " Msg(s), Delivery in " +
              QByteArray::number(m_handler.nextCheck()) + " Min."))
        closeAfterReply();
    return Next::End;
}

SubmissionConversation::Next SubmissionConversation::queueBlock(const QByteArray& encoded)
{
    const QueueSubmission page =
        SubmissionBlock::fromText(Base64Decode(encoded)).toSubmission(m_client.HostName());
    std::optional<PageRefusal> refusal = m_handler.checkPage(page);
    if (!refusal) {
        EventPump::once();
        // The free key is looked up and written with no event-loop pass in between, so a
        // conversation served inside this one cannot take the same key.
        refusal = m_handler.queuePages({page});
    }
    if (refusal)
        return refuse(*refusal);
    ++m_accepted;
    return reply("250 Message Accepted For Processing") ? Next::Continue : Next::End;
}

SubmissionConversation::Next SubmissionConversation::refuse(const PageRefusal& refusal)
{
    m_handler.logRefusal(refusal, m_client.HostName());
    return reply(refusal.kind == PageRefusal::Kind::NumberNotAllowed
                     ? numberNotAllowed(refusal.reason)
                     : rejected(refusal.reason))
               ? Next::Continue
               : Next::End;
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
    // The client may still be sending the rest: the reply must reach it all the same.
    if (reply(rejected("Too Large")))
        closeAfterReply();
    return true;
}

bool SubmissionConversation::reply(const QByteArray& text)
{
    if (m_reader->gone()) {
        release();
        return false;
    }
    try {
        m_client.Send(text);
    } catch (const ESockException&) {
        release();
        return false;
    }
    // The platform refused the reply because the client is gone.
    if (m_client.PeerGone()) {
        release();
        return false;
    }
    return true;
}

bool SubmissionConversation::realAddressRefused() const
{
    return !m_handler.addressAdmitted(m_client.HostName());
}

QByteArray SubmissionConversation::hostAddress() const
{
    // The address of the host's name, as workstations expect. When that lookup fails (no
    // address for the name, or no descriptor free for the resolver), the address this client
    // reached the server by is just as real, and needs no lookup.
    const QByteArray named = TSock::LocalAddress();
    return named != "0.0.0.0" ? named : m_client.LocalSocketAddress();
}

QByteArray SubmissionConversation::deniedReply() const
{
    return "552 - (" + hostAddress() + ") Access To Server Denied!";
}

void SubmissionConversation::closeAfterReply()
{
    m_client.CloseWhenSent();
}

void SubmissionConversation::release()
{
    // A reset connection still counts as connected; an orderly closed one is closed already.
    if (m_client.Connected())
        m_client.Close();
}
