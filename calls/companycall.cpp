#include "calls/companycall.h"

#include "calls/callrunsteps.h"
#include "calls/linethread.h"
#include "calls/modemsetup.h"
#include "core/serverconfig.h"
#include "foundation/operatorprompts.h"
#include "foundation/pacing.h"
#include "foundation/widgettext.h"
#include "pages/pagequeue.h"
#include "pages/pagestore.h"
#include "paging/elinelost.h"
#include "paging/epageerror.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/queueentry.h"

#include <QPointer>

namespace {

const QByteArray NotConnected = "Error Connecting To Paging Network: ";

} // namespace

// What became of one page on the line: worked out on the line's thread, read on the run's.
struct CompanyCall::SendResult
{
    bool taken = false;                // the terminal took the page
    std::optional<QByteArray> refused; // the terminal's (or engine's) reason it failed
    bool terminalHungUp = false;       // that failure was the terminal hanging up
    bool lost = false;                 // the line went down before the page was handed over
};

CompanyCall::CompanyCall(CallRunSteps& run, QueuedCompany company, QList<std::optional<qint64>> ids,
                         QList<PlannedCall> calls, LineThread& modem, std::optional<int> port)
    : m_run(run), m_company(std::move(company)), m_ids(std::move(ids)), m_calls(std::move(calls)),
      m_modem(&modem), m_port(port)
{
}

CompanyCall::CompanyCall(CallRunSteps& run, QueuedCompany company, QList<std::optional<qint64>> ids,
                         QList<PlannedCall> calls, ILineChooser::Route route)
    : m_run(run), m_company(std::move(company)), m_ids(std::move(ids)), m_calls(std::move(calls)),
      m_route(std::move(route))
{
}

CompanyCall::~CompanyCall() = default;

LineThread& CompanyCall::line() const
{
    return m_modem ? *m_modem : *m_carrierLine;
}

QByteArray CompanyCall::lineName() const
{
    if (m_route)
        return m_route->name;
    return ModemSetup::lineName(m_run.config(), m_port);
}

void CompanyCall::start()
{
    nextCall();
}

void CompanyCall::cancel()
{
    if (m_modem || m_carrierLine)
        line().cancel();
}

void CompanyCall::cutPauses()
{
    if (m_modem || m_carrierLine)
        line().setCutPauses(true);
}

void CompanyCall::logBoth(const QByteArray& windowText, const QByteArray& logText)
{
    m_run.logLine(windowText, logText);
}

void CompanyCall::nextCall()
{
    // A stopped run leaves the rest of the company's messages queued, untried.
    if (m_call >= m_calls.size() || m_run.stopRequested()) {
        finish();
        return;
    }
    const PlannedCall& call = m_calls[m_call++];
    const QByteArray& section = m_company.section;
    log("Sending Messages For: " + section);
    if (m_route || m_run.namesLines())
        log("Line: " + lineName());
    m_run.noteCallStarted(section, lineName());

    TServerConfig config = m_run.config();
    if (m_port)
        config.ComPort = *m_port - 1;
    if (!call.settings || (m_modem && !ModemSetup::portUsable(config))) {
        m_run.noteCallEnded(section, false);
        // Without a usable port or with line settings that cannot be read nobody can be called;
        // the messages wait for a corrected configuration or section.
        logBoth(NotConnected + section, " " + NotConnected + section);
        nextCall();
        return;
    }

    m_callIds.clear();
    for (const qsizetype i : call.messages)
        m_callIds.append(i < m_ids.size() ? m_ids[i] : std::nullopt);
    m_message = 0;

    if (m_route) {
        try {
            m_carrierLine = std::make_unique<LineThread>(m_route->make);
        } catch (...) {
            broken(std::current_exception());
            return;
        }
        connect(m_carrierLine.get(), &LineThread::progress, this,
                [this](const QByteArray& text) { emit lineProgress(lineName(), text); });
    }

    // The line's own step: set up for the company, dial or connect, log on.
    m_inCall = true;
    const CompanyLineSettings settings = *call.settings;
    const bool modem = m_modem != nullptr;
    const QString dataDir = m_run.dataDir();
    const Pacing* pacing = &m_run.pacing();
    auto up = std::make_shared<bool>(false);
    QPointer<CompanyCall> self(this);
    line().run(
        [=](IPagingLine& line) {
            if (modem) {
                auto& engine = static_cast<TOMXPage&>(line);
                engine.setPacing(*pacing);
                ModemSetup::apply(engine, config, dataDir, settings, section);
            } else {
                // A carrier on the network needs no port: only the company's own settings.
                line.setMsgLength(settings.length);
                line.setPassword(settings.password);
                line.setProvider(section);
            }
            try {
                *up = line.Connect();
            } catch (const std::exception&) {
                *up = false;
            }
        },
        [self, up](std::exception_ptr failure) {
            if (!self)
                return;
            if (failure)
                self->broken(failure);
            else
                self->connected(*up);
        });
}

void CompanyCall::connected(bool up)
{
    const QByteArray& section = m_company.section;
    if (up) {
        nextMessage();
        return;
    }
    try {
        logBoth(NotConnected + section, " " + NotConnected + section);
        if (PageQueue* pages = m_run.pages()) {
            for (const std::optional<qint64>& id : std::as_const(m_callIds)) {
                if (id)
                    pages->store().addNote(*id, NotConnected + section);
            }
        }
    } catch (...) {
        broken(std::current_exception());
        return;
    }
    callOver(false);
}

void CompanyCall::nextMessage()
{
    const PlannedCall& call = m_calls[m_call - 1];
    try {
        for (; m_message < call.messages.size(); ++m_message) {
            // A stopped run leaves the rest of the company's messages queued, untried.
            if (m_run.stopRequested())
                break;
            const std::optional<qint64> id = m_callIds[m_message];
            // A page held until later, or cancelled or expired since the company was read,
            // stays as the store has it: it is not sent, and its line is not this run's to
            // remove.
            if (id && !m_run.claim(*id))
                continue;
            const QueueEntry entry =
                QueueEntry::parse(m_company.messages[call.messages[m_message]].value);
            if (id)
                log("Sending Page " + QByteArray::number(*id) + " To: " + entry.pin);
            log("Sending Messages To: " + entry.pin + " From " + entry.sender);

            auto result = std::make_shared<SendResult>();
            QPointer<CompanyCall> self(this);
            line().run(
                [result, pin = entry.pin, text = entry.pageText()](IPagingLine& line) {
                    try {
                        // The engine would refuse an empty page only after closing the port,
                        // which would cost every later message of this company its delivery;
                        // refuse it here with the same error and keep the line.
                        if (text.isEmpty() && line.inCall())
                            throw EPageError(EPageError::Code::NoMessage);
                        result->taken = line.SendPage(pin, text);
                    } catch (const EPageError& error) {
                        result->refused = error.message();
                        result->terminalHungUp = error.terminalDisconnected();
                    } catch (const ELineLost&) {
                        result->lost = true;
                    }
                },
                [self, result](std::exception_ptr failure) {
                    if (!self)
                        return;
                    if (failure) {
                        // The call ended before the terminal answered for the page: it waits
                        // for the next.
                        const std::optional<qint64> id = self->m_callIds[self->m_message];
                        if (id && self->m_run.pages()) {
                            try {
                                self->m_run.pages()->store().requeue(
                                    *id, "Call Ended Before The Terminal Answered");
                            } catch (...) {
                            }
                        }
                        self->broken(failure);
                        return;
                    }
                    self->sent(*result);
                });
            return;
        }
    } catch (...) {
        broken(std::current_exception());
        return;
    }
    callOver(true);
}

void CompanyCall::sent(const SendResult& result)
{
    if (result.lost) {
        lineLost(m_message);
        return;
    }
    const PlannedCall& call = m_calls[m_call - 1];
    const QueuedCompany::Message& message = m_company.messages[call.messages[m_message]];
    const QueueEntry entry = QueueEntry::parse(message.value);
    const std::optional<qint64> id = m_callIds[m_message];
    try {
        std::optional<QByteArray> failure;
        if (result.refused) {
            const QByteArray text = "Error Sending Messages To: " + entry.pin + " From " +
                                    entry.sender + " (" + *result.refused + ")";
            log(text);
            // A terminal that hung up is the paging company's doing, not the sender's.
            if (!result.terminalHungUp)
                m_run.notifySender(entry.sender, entry.pin, *result.refused);
            failure = result.refused;
        } else if (!result.taken) {
            m_run.prompts().beep();
            m_run.prompts().showMessage(IOperatorPrompts::BoxKind::Error,
                                        QStringLiteral("Error Sending Message To \"%1\"")
                                            .arg(WidgetText::fromBytes(entry.addressee)));
            failure = QByteArray("Error Sending Message");
        }
        // Handled, whatever came of it: removed (and counted off) at once, so a run that ends
        // early never pages it again, and only this line, so a message queued meanwhile for
        // the same company stays for the next run. When the operator cleared the queue during
        // the call, the key may by now hold a message queued after that; that one stays, and
        // the counter, reset by the clearing, counts only it.
        if (!id)
            m_run.queue().removeMessage(m_company.section, message);
        else if (failure)
            m_run.pages()->failed(*id, *failure, m_company.section, message);
        else
            m_run.pages()->delivered(*id, m_company.section, message);
    } catch (...) {
        broken(std::current_exception());
        return;
    }
    ++m_message;
    nextMessage();
}

void CompanyCall::lineLost(qsizetype n)
{
    // The line has logged its reason; the pages wait for the next check as after a failed
    // connection.
    const QByteArray note = NotConnected + m_company.section;
    try {
        logBoth(note, " " + note);
        if (PageQueue* pages = m_run.pages()) {
            if (const std::optional<qint64> id = m_callIds[n])
                pages->store().requeue(*id, note);
            for (qsizetype rest = n + 1; rest < m_callIds.size(); ++rest) {
                if (m_callIds[rest])
                    pages->store().addNote(*m_callIds[rest], note);
            }
        }
    } catch (...) {
        broken(std::current_exception());
        return;
    }
    callOver(false);
}

void CompanyCall::callOver(bool reached)
{
    // The call's time on the line ends here, before the pause after the hang-up.
    m_run.noteCallEnded(m_company.section, reached);
    // A stopping run hangs up without the modem's pause: nothing is dialled after it.
    const bool pause = !m_run.stopRequested();
    QPointer<CompanyCall> self(this);
    line().run(
        [](IPagingLine& line) {
            try {
                line.Disconnect();
            } catch (...) {
                // However the hang-up went, the line must not stay held.
            }
            if (line.inCall())
                line.hangUp();
        },
        [self, pause](std::exception_ptr) {
            if (self)
                self->hungUp(pause);
        });
}

void CompanyCall::hungUp(bool pause)
{
    m_inCall = false;
    LineThread* thread = &line();
    const Pacing* pacing = &m_run.pacing();
    QPointer<CompanyCall> self(this);
    thread->run(
        [thread, pacing, pause](IPagingLine& line) {
            // A modem needs its pause before it dials again; a carrier on the network does not.
            if (pause && line.pausesAfterHangUp())
                pacing->pauseResponsiveUntil(HangUpPauseMs,
                                             [thread] { return thread->cutPauses(); });
        },
        [self](std::exception_ptr) {
            if (self)
                self->lineFree();
        });
}

void CompanyCall::lineFree()
{
    m_carrierLine.reset();
    nextCall();
}

void CompanyCall::broken(std::exception_ptr failure)
{
    m_run.fail(failure);
    m_run.noteCallEnded(m_company.section, false);
    LineThread* thread = m_modem ? m_modem : m_carrierLine.get();
    if (!thread) {
        finish();
        return;
    }
    QPointer<CompanyCall> self(this);
    thread->run(
        [](IPagingLine& line) {
            try {
                if (line.inCall())
                    line.Disconnect();
            } catch (...) {
            }
            if (line.inCall())
                line.hangUp();
        },
        [self](std::exception_ptr) {
            if (!self)
                return;
            self->m_inCall = false;
            self->m_carrierLine.reset();
            self->finish();
        });
}

void CompanyCall::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    try {
        m_run.queue().removeSectionIfEmpty(m_company.section);
    } catch (...) {
        m_run.fail(std::current_exception());
    }
    emit finished();
}
