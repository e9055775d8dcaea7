#include "snpp/snppprotocol.h"

#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"
#include "snpp/snppcommand.h"
#include "snpp/snppholdtime.h"
#include "snpp/snpppagecheck.h"

#include <QSet>

#include <utility>

namespace {

QByteArray line(const QByteArray& text)
{
    return text + "\r\n";
}

SnppReply reply(const QByteArray& text)
{
    return {line(text), false, false};
}

SnppReply closing(const QByteArray& text)
{
    return {line(text), true, false};
}

QByteArray numberNotAllowed(const QByteArray& number)
{
    return "550 Error, Access Number " + number + " Not Allowed";
}

bool isServiceLevel(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 2)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return text.toInt() <= 11;
}

} // namespace

SnppProtocol::SnppProtocol(const ISnppAccess& access, const IPagerDirectory& directory,
                           IPageSink& sink, QByteArray peerAddress)
    : m_access(access), m_directory(directory), m_sink(sink), m_peer(std::move(peerAddress))
{
}

QByteArray SnppProtocol::greeting()
{
    return line("220 Zelkor SNPP Gateway Ready");
}

QByteArray SnppProtocol::timeoutReply()
{
    return line("421 Timeout, Goodbye");
}

QByteArray SnppProtocol::lineTooLongReply()
{
    return line("421 Line Too Long, Goodbye");
}

QByteArray SnppProtocol::deniedReply()
{
    return line("421 Access To Server Denied, Goodbye");
}

QByteArray SnppProtocol::tooManySessionsReply()
{
    return line("421 Too Many Sessions From Your Address, Goodbye");
}

QByteArray SnppProtocol::shuttingDownReply()
{
    return line("421 Server Shutting Down, Goodbye");
}

QByteArray SnppProtocol::busyReply()
{
    return line("554 Message Failed: Server Busy, Please Try Later");
}

QByteArray SnppProtocol::queuedText(const QByteArray& subject, const QByteArray& message)
{
    QByteArray text = subject.isEmpty() ? message : subject + ": " + message;
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

SnppReply SnppProtocol::handleLine(const QByteArray& text)
{
    if (m_inData)
        return dataLine(text);
    const SnppCommand command = SnppCommand::parse(text);
    switch (command.verb) {
    case SnppCommand::Verb::Page:
        return page(command.argument);
    case SnppCommand::Verb::Mess:
        return mess(command.argument);
    case SnppCommand::Verb::Data:
        return data();
    case SnppCommand::Verb::Subj:
        if (command.argument.contains('\0'))
            return reply("550 Error, Invalid Subject");
        m_subject = command.argument;
        return reply("250 Message Subject OK");
    case SnppCommand::Verb::Rese:
        reset();
        return reply("250 RESET OK");
    case SnppCommand::Verb::Send:
        return send();
    case SnppCommand::Verb::Quit:
        return closing("221 OK, Goodbye");
    case SnppCommand::Verb::Help:
        return {
            line("214 PAGE <Pager ID>: a shared user, a shared group or PIN@Company") +
                line("214 MESS <Message> or DATA, then lines and a line holding '.'") +
                line("214 SUBJ <Subject>, HOLD YYMMDDHHMM[SS] [+/-GMT difference], CALLerid <ID>") +
                line("214 RESE, SEND, QUIT, HELP, LOGI, LEVE") +
                line("250 End of Help Information"),
            false, false};
    case SnppCommand::Verb::Logi:
        return reply("250 Login Accepted");
    case SnppCommand::Verb::Leve:
        return level(command.argument);
    case SnppCommand::Verb::Site:
        return site(command.argument);
    case SnppCommand::Verb::Hold:
        if (const std::optional<QDateTime> until = SnppHoldTime::parse(command.argument)) {
            m_holdUntil = *until;
            return reply("250 Delayed Messaging Selected");
        }
        return reply("550 Error, Invalid Delivery Date/Time");
    case SnppCommand::Verb::Call:
        if (command.argument.isEmpty() || command.argument.contains('\0'))
            return reply("550 Error, Invalid Caller ID");
        m_callerId = command.argument;
        return reply("250 Caller ID Accepted");
    case SnppCommand::Verb::Unknown:
        break;
    }
    return reply("500 Command Not Implemented");
}

SnppReply SnppProtocol::page(const QByteArray& argument)
{
    // "PAGE <Pager ID> [Password]". The password is for gateways that check one; this one takes
    // the client's address as its credential. Names in the shared lists may hold blanks
    // ("Ann Lee", "5551234@Metro Paging"), so the whole argument is tried first.
    PagerLookup lookup;
    QByteArray id = argument;
    if (argument.contains(' ') || argument.contains('\t'))
        lookup = m_directory.resolve(argument);
    if (!lookup.found()) {
        const QByteArray wholeFailure = lookup.failure;
        id = SnppCommand::splitWord(argument).first;
        lookup = id.isEmpty() ? PagerLookup{} : m_directory.resolve(id);
        if (!lookup.found() && lookup.failure.isEmpty())
            lookup.failure = wholeFailure;
    }
    if (!lookup.found()) {
        QByteArray text = "550 Error, Invalid Pager ID";
        if (!lookup.failure.isEmpty())
            text += " (" + lookup.failure + ")";
        m_sink.refused(m_peer, argument,
                       lookup.failure.isEmpty() ? QByteArray("Invalid Pager ID") : lookup.failure);
        return reply(text);
    }
    // A PIN the engine could never page is refused now rather than failing at the call.
    for (const PagerTarget& target : lookup.targets) {
        if (const std::optional<QByteArray> why = SnppPageCheck::pinRefusal(target)) {
            m_sink.refused(m_peer, id, *why);
            return reply("550 Error, Invalid Pager ID (" + *why + ")");
        }
    }
    // A group's members mostly share a few companies: each access number is checked once.
    QSet<QByteArray> allowed;
    for (const PagerTarget& target : lookup.targets) {
        const QByteArray& number = target.company.AccessNumber;
        if (allowed.contains(number))
            continue;
        if (!m_access.mayDial(number)) {
            m_sink.refused(m_peer, id, "Access Number Not Allowed: " + number);
            return reply(numberNotAllowed(number));
        }
        allowed.insert(number);
    }
    // A pager named twice (by a user and by a group holding the user) is paged once.
    QList<Pager> added;
    QSet<PagerKey> addedKeys;
    for (const PagerTarget& target : lookup.targets) {
        const PagerKey key{target.pin, target.company.AccessNumber};
        if (m_pagerKeys.contains(key) || addedKeys.contains(key))
            continue;
        addedKeys.insert(key);
        added.append({id, target});
    }
    if (m_pagers.size() + added.size() > MaxPagers)
        return reply("552 Maximum Entries Exceeded");
    m_pagers += added;
    m_pagerKeys.unite(addedKeys);
    return reply("250 Pager ID Accepted");
}

SnppReply SnppProtocol::mess(const QByteArray& argument)
{
    if (m_hasMessage)
        return reply("503 ERROR, Message Already Entered");
    if (argument.isEmpty() || argument.contains('\0'))
        return reply("550 ERROR, Invalid Message");
    if (const std::optional<SnppReply> refusal = tooLongRefusal(argument))
        return *refusal;
    m_message = argument;
    m_hasMessage = true;
    return reply("250 Message OK");
}

SnppReply SnppProtocol::data()
{
    if (m_hasMessage)
        return reply("503 ERROR, Message Already Entered");
    m_inData = true;
    m_dataLines.clear();
    m_dataSize = 0;
    m_dataTooLong = false;
    return reply("354 Begin Input; End with <CRLF>'.'<CRLF>");
}

SnppReply SnppProtocol::dataLine(const QByteArray& text)
{
    if (text == ".") {
        m_inData = false;
        QByteArray body = m_dataLines.join('\n');
        m_dataLines.clear();
        if (m_dataTooLong) {
            m_sink.refused(m_peer, {}, "Message Too Long");
            return reply(tooLongReply());
        }
        if (body.trimmed().isEmpty() || body.contains('\0'))
            return reply("550 Error, Invalid Message");
        if (const std::optional<SnppReply> refusal = tooLongRefusal(body))
            return *refusal;
        m_message = std::move(body);
        m_hasMessage = true;
        return reply("250 Message OK");
    }
    // A client doubles the dot of a line that begins with one, so that it cannot end the
    // message; the doubled dot is taken back. A single leading dot is kept as it is: some
    // clients send such lines without doubling.
    const QByteArray content = text.startsWith("..") ? text.mid(1) : text;
    m_dataSize += content.size() + 1;
    if (m_dataSize > MaxMessage)
        m_dataTooLong = true;
    if (!m_dataTooLong)
        m_dataLines.append(content);
    return {};
}

namespace {

// " (Ids 17,18)": the ids the queue gave a transaction's pages, by which their fate can be
// asked for later; nothing when it gave none. A run of consecutive ids is written as a range
// ("Ids 17-5016"), so that a group of thousands still gets a short reply line.
QByteArray idsText(const QList<qint64>& ids)
{
    if (ids.isEmpty())
        return {};
    QByteArrayList parts;
    for (qsizetype first = 0; first < ids.size();) {
        qsizetype last = first;
        while (last + 1 < ids.size() && ids[last + 1] == ids[last] + 1)
            ++last;
        QByteArray part = QByteArray::number(ids[first]);
        if (last > first + 1)
            part += '-' + QByteArray::number(ids[last]);
        else if (last == first + 1)
            part += ',' + QByteArray::number(ids[last]);
        parts.append(part);
        first = last + 1;
    }
    return " (Ids " + parts.join(',') + ')';
}

} // namespace

SnppReply SnppProtocol::send()
{
    if (m_pagers.isEmpty() || !m_hasMessage)
        return reply("503 Error, Pager ID or Message Incomplete");
    // The address lists may have changed since the client connected.
    if (!m_access.addressAdmitted(m_peer))
        return {deniedReply(), true, false};
    const QByteArray text = queuedText(m_subject, m_message);
    QList<SnppPage> pages;
    for (const Pager& pager : std::as_const(m_pagers))
        pages.append(
            {pager.id, pager.target.pin, pager.target.company, text, m_holdUntil, m_callerId});
    if (m_answered) {
        if (const std::optional<quint64> ticket = m_sink.queueLater(pages, m_peer, m_answered)) {
            m_waitingSend = ticket;
            SnppReply waiting;
            waiting.awaitingQueue = true;
            return waiting;
        }
    }
    return answer(m_sink.queue(pages, m_peer));
}

SnppReply SnppProtocol::answer(const PageSinkResult& result)
{
    m_waitingSend.reset();
    switch (result.status) {
    case PageSinkResult::Status::Queued:
        reset();
        return reply("250 Message Sent Successfully" + idsText(result.ids));
    case PageSinkResult::Status::Busy:
        return {QByteArray(), false, true};
    case PageSinkResult::Status::NumberNotAllowed:
        m_sink.refused(m_peer, {}, "Access Number Not Allowed: " + result.detail);
        return reply(numberNotAllowed(result.detail));
    case PageSinkResult::Status::Rejected:
        m_sink.refused(m_peer, {}, result.detail);
        return reply("550 Message Failed: " + result.detail);
    case PageSinkResult::Status::Failed:
        // The server's failure has been told to the operator; the client learns from the close
        // that its pages were not confirmed.
        return {QByteArray(), true, false};
    case PageSinkResult::Status::Unavailable:
        break;
    }
    // The queue's own failure: it has been logged with its cause where it happened.
    return reply("554 Message Failed: " + result.detail);
}

void SnppProtocol::withdrawSend()
{
    if (const std::optional<quint64> ticket = std::exchange(m_waitingSend, std::nullopt))
        m_sink.withdraw(*ticket);
}

QByteArray SnppProtocol::tooLongReply()
{
    return "550 Error, Message Too Long";
}

std::optional<SnppReply> SnppProtocol::tooLongRefusal(const QByteArray& message) const
{
    // The subject given so far is sent with the text; one given later is checked at SEND.
    const QByteArray text = queuedText(m_subject, message);
    for (const Pager& pager : m_pagers) {
        if (SnppPageCheck::tooLong(pager.target, text)) {
            m_sink.refused(m_peer, pager.id, "Message Too Long");
            return reply(tooLongReply());
        }
    }
    return std::nullopt;
}

QByteArray SnppProtocol::busyRefusal()
{
    m_sink.refused(m_peer, {}, "Server Busy");
    return busyReply();
}

SnppReply SnppProtocol::retrySend()
{
    return send();
}

SnppReply SnppProtocol::site(const QByteArray&) const
{
    // No SITE command is carried out (HylaFAX's sendpage sends its job options this way and
    // goes on without them): saying so keeps a client from taking an option as honoured.
    return reply("500 Command Not Implemented");
}

SnppReply SnppProtocol::level(const QByteArray& argument) const
{
    if (isServiceLevel(argument))
        return reply("250 OK");
    return reply("550 Error, Invalid Service Level");
}

void SnppProtocol::reset()
{
    m_pagers.clear();
    m_pagerKeys.clear();
    m_message.clear();
    m_hasMessage = false;
    m_subject.clear();
    m_holdUntil = {};
    m_callerId.clear();
}
