#include "calls/linethread.h"

#include "foundation/eventpump.h"
#include "paging/ipagingline.h"

#include <QThread>

LineThread::LineThread(const Maker& make, QObject* parent)
    : QObject(parent), m_thread(new QThread), m_home(new QObject)
{
    m_home->moveToThread(m_thread);
    // The line ends on its own thread, once the step in hand has returned.
    connect(
        m_thread, &QThread::finished, m_home,
        [this] {
            try {
                if (m_line && m_line->inCall())
                    m_line->hangUp();
            } catch (...) {
                // The line goes all the same.
            }
            m_line.reset();
        },
        Qt::DirectConnection);
    m_thread->start();
    // The line's sockets, timers and notifiers belong to the thread that makes them.
    QMetaObject::invokeMethod(
        m_home,
        [this, &make] {
            m_line = make();
            // Called on the line's thread; the signal reaches this object's thread queued.
            m_line->setOnPageProgress([this](const QByteArray& text) { emit progress(text); });
        },
        Qt::BlockingQueuedConnection);
}

LineThread::~LineThread()
{
    cancel();
    m_cutPauses.store(true);
    m_thread->quit();
    m_thread->wait();
    delete m_home;
    delete m_thread;
}

void LineThread::run(Work work, Done done)
{
    ++m_pending;
    QMetaObject::invokeMethod(
        m_home,
        [this, work = std::move(work), done = std::move(done)]() mutable {
            std::exception_ptr failure;
            try {
                work(*m_line);
            } catch (...) {
                failure = std::current_exception();
            }
            // Back on this object's thread; dropped if this object is gone by then.
            QMetaObject::invokeMethod(
                this,
                [this, failure, done = std::move(done)] {
                    --m_pending;
                    done(failure);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void LineThread::cancel()
{
    QMetaObject::invokeMethod(
        m_home,
        [this] {
            // Also while it connects, before the call is up. A failure of the hang-up is
            // the step's to meet: the line stays as it is, the step goes on.
            if (!m_line)
                return;
            try {
                m_line->Disconnect();
            } catch (...) {
                if (m_line->inCall())
                    m_line->hangUp();
            }
        },
        Qt::QueuedConnection);
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
