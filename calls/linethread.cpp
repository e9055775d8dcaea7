#include "calls/linethread.h"

#include "foundation/eventpump.h"
#include "paging/ipagingline.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>

namespace {

// Wake-ups through Qt's event queue; what they are about waits in the queues under the lock.
const QEvent::Type StepPosted = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type CancelPosted = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type RepliesPosted = static_cast<QEvent::Type>(QEvent::registerEventType());

// Posts a wake-up. The event is made before the lock is taken and let go, and its taker takes
// the lock before reading it: so the event's making is ordered before its reading for the thread
// sanitizer too, which does not see the lock inside Qt's event queue.
void post(std::mutex& mutex, QObject* to, QEvent::Type type)
{
    auto* event = new QEvent(type);
    {
        std::lock_guard<std::mutex> lock(mutex);
    }
    QCoreApplication::postEvent(to, event);
}

QEvent::Type typeOf(std::mutex& mutex, const QEvent* event)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
    }
    return event->type();
}

} // namespace

// The line's side: takes the wake-ups on the line's thread.
class LineThread::Home final : public QObject
{
public:
    explicit Home(LineThread& owner) : m_owner(owner) {}

    bool event(QEvent* event) override
    {
        const QEvent::Type type = typeOf(m_owner.m_mutex, event);
        if (type == StepPosted) {
            m_owner.takeStep();
            return true;
        }
        if (type == CancelPosted) {
            m_owner.takeCancel();
            return true;
        }
        return QObject::event(event);
    }

private:
    LineThread& m_owner;
};

LineThread::LineThread(const Maker& make, QObject* parent)
    : QObject(parent), m_thread(new QThread), m_home(new Home(*this))
{
    m_home->moveToThread(m_thread);
    // The line ends on its own thread, once the step in hand has returned.
    connect(
        m_thread, &QThread::finished, m_home, [this] { lineEnds(); }, Qt::DirectConnection);
    m_thread->start();
    // The line's sockets, timers and notifiers belong to the thread that makes them.
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_maker = make;
    }
    post(m_mutex, m_home, StepPosted);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_made.wait(lock, [this] { return m_lineMade; });
}

LineThread::~LineThread()
{
    cancel();
    m_cutPauses.store(true);
    m_thread->quit();
    m_thread->wait();
    {
        // Whatever the line's thread did is over and seen from here.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_steps.clear();
        m_replies.clear();
    }
    delete m_home;
    delete m_thread;
}

void LineThread::run(Work work, Done done)
{
    ++m_pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_steps.push_back({std::move(work), std::move(done)});
    }
    post(m_mutex, m_home, StepPosted);
}

void LineThread::makeLine()
{
    Maker make;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        make.swap(m_maker);
    }
    std::unique_ptr<IPagingLine> line = make();
    line->setOnPageProgress([this](const QByteArray& text) { sendProgress(text); });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_line = std::move(line);
    m_lineMade = true;
    m_made.notify_all();
}

void LineThread::takeStep()
{
    bool made = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        made = m_lineMade;
    }
    // The first wake-up makes the line.
    if (!made) {
        makeLine();
        return;
    }
    Step step;
    IPagingLine* line = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_steps.empty())
            return;
        step = std::move(m_steps.front());
        m_steps.pop_front();
        line = m_line.get();
    }
    std::exception_ptr failure;
    try {
        step.work(*line);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!step.done)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replies.push_back({std::move(step.done), failure});
    }
    // Dropped if this object is gone by then.
    post(m_mutex, this, RepliesPosted);
}

void LineThread::cancel()
{
    post(m_mutex, m_home, CancelPosted);
}

void LineThread::takeCancel()
{
    IPagingLine* line = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        line = m_line.get();
    }
    // Also while it connects, before the call is up. A failure of the hang-up is the step's to
    // meet: the line stays as it is, the step goes on.
    if (!line)
        return;
    try {
        line->Disconnect();
    } catch (...) {
        if (line->inCall())
            line->hangUp();
    }
}

void LineThread::lineEnds()
{
    std::unique_ptr<IPagingLine> line;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        line = std::move(m_line);
        m_ended = true;
    }
    try {
        if (line && line->inCall())
            line->hangUp();
    } catch (...) {
        // The line goes all the same.
    }
}

void LineThread::sendProgress(const QByteArray& text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.append(text);
    }
    post(m_mutex, this, RepliesPosted);
}

bool LineThread::event(QEvent* event)
{
    if (typeOf(m_mutex, event) == RepliesPosted) {
        takeReplies();
        return true;
    }
    return QObject::event(event);
}

void LineThread::takeReplies()
{
    // Texts before the reply that follows them: a step's texts come before its reply, and the
    // next step is given only once the reply is in.
    QList<QByteArray> texts;
    std::optional<Reply> reply;
    bool more = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        texts.swap(m_texts);
        if (!m_replies.empty()) {
            reply = std::move(m_replies.front());
            m_replies.pop_front();
        }
        more = !m_replies.empty();
    }
    // A reply's `done` may end this object (a carrier's line is dropped after its call).
    const QPointer<LineThread> self(this);
    for (const QByteArray& text : std::as_const(texts)) {
        emit progress(text);
        if (!self)
            return;
    }
    if (!reply)
        return;
    if (more)
        post(m_mutex, this, RepliesPosted);
    --m_pending;
    const Reply taken = std::move(*reply);
    taken.done(taken.failure);
}

void LineThread::runNow(const Work& work)
{
    // The caller's thread keeps serving its events meanwhile: what the line talks to may be
    // answered there.
    bool done = false;
    std::exception_ptr failure;
    run(work, [&done, &failure](std::exception_ptr error) {
        failure = error;
        done = true;
    });
    while (!done)
        EventPump::waitForEvents();
    if (failure)
        std::rethrow_exception(failure);
}
