#include "workstation/submissionreader.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "net/esockexception.h"
#include "net/tsock.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr QDeadlineTimer::ForeverConstant Forever = QDeadlineTimer::Forever;

int remainingMs(const QDeadlineTimer& by)
{
    return static_cast<int>(std::max<qint64>(0, by.remainingTime()));
}

} // namespace

SubmissionReader::SubmissionReader(TSock& client, TTimeCounter& idle, qsizetype maxText)
    : m_client(client), m_idle(idle), m_maxText(maxText)
{
}

SubmissionReader::End SubmissionReader::command(QByteArray& text, const QDeadlineTimer& by)
{
    return wait(text, true, {}, nullptr, by);
}

SubmissionReader::End SubmissionReader::block(QByteArray& text,
                                              const std::function<bool(const QByteArray&)>& whole)
{
    const End end = wait(text, false, {}, nullptr, Forever);
    if (end != End::Received || whole(text))
        return end;
    return rest(text, whole);
}

SubmissionReader::End
SubmissionReader::whileBusy(QByteArray& text, const std::function<bool()>& busy, bool& busyCleared)
{
    busyCleared = false;
    return wait(text, false, busy, &busyCleared, Forever);
}

bool SubmissionReader::pause(int nominalMs)
{
    return !m_client.pacing().pauseResponsiveUntil(nominalMs, [this] { return gone(); });
}

bool SubmissionReader::gone()
{
    return !m_client.Connected() || m_client.PeerGone();
}

QByteArray SubmissionReader::take(qsizetype already)
{
    return m_client.ReceiveCount(static_cast<int>(m_maxText + 1 - already));
}

SubmissionReader::End SubmissionReader::wait(QByteArray& text, bool closedFirst,
                                             const std::function<bool()>& busy, bool* busyCleared,
                                             const QDeadlineTimer& by)
{
    End end = End::TimedOut;
    // Wakes the wait when `by` passes between two ticks of the idle counter. Armed again
    // whenever it fired early.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    waitUntil(m_idle, [&] {
        // A reset ends every wait at once: nothing more can come, and no reply can arrive.
        if (m_client.PeerGone() || (closedFirst && !m_client.Connected())) {
            end = End::Closed;
            return true;
        }
        try {
            text = take(0);
        } catch (const ESockException&) {
            end = End::Closed;
            return true;
        }
        if (busy && !busy()) {
            *busyCleared = true;
            end = End::Received;
            return true;
        }
        if (!closedFirst && !m_client.Connected()) {
            end = End::Closed;
            return true;
        }
        if (!text.isEmpty()) {
            end = End::Received;
            return true;
        }
        if (by.hasExpired())
            return true;
        if (!by.isForever() && !wake.isActive())
            wake.start(std::max(1, remainingMs(by)));
        return false;
    });
    if (end != End::Received || (busyCleared && *busyCleared))
        return end;
    // A command word without an argument that arrived alone cannot go on: it is served at
    // once. (Whatever followed it would only be dropped as part of the same command.)
    if (text == "DATA" || text == "DONE")
        return end;
    return gather(text, by);
}

SubmissionReader::End SubmissionReader::gather(QByteArray& text, const QDeadlineTimer& by)
{
    while (text.size() <= m_maxText && !m_idle.TimedOut() && !by.hasExpired()) {
        const bool more = EventPump::waitFor(QuietMs, [this] {
            return m_client.BytesAvailable() > 0 || gone() || m_idle.TimedOut();
        });
        if (!more)
            break; // quiet: the text is complete
        if (gone())
            return End::Closed;
        if (m_client.BytesAvailable() == 0)
            break; // the idle counter ran out: what arrived is served
        text += take(text.size());
    }
    return End::Received;
}

SubmissionReader::End SubmissionReader::rest(QByteArray& text,
                                             const std::function<bool(const QByteArray&)>& whole)
{
    const QDeadlineTimer by(m_client.pacing().scaled(RestMs), Qt::PreciseTimer);
    while (text.size() <= m_maxText && !whole(text) && !by.hasExpired()) {
        const bool more = EventPump::waitFor(
            remainingMs(by), [this] { return m_client.BytesAvailable() > 0 || gone(); });
        if (!more)
            break; // the rest did not come: the block is taken as it is
        if (gone())
            return End::Closed;
        try {
            text += take(text.size());
        } catch (const ESockException&) {
            return End::Closed;
        }
        if (gather(text, by) == End::Closed)
            return End::Closed;
    }
    return End::Received;
}
