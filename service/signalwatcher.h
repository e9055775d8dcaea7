#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns process signals (SIGTERM, SIGINT, SIGHUP, ...) into a Qt signal on the thread that runs
// the event loop. The signal handler itself only writes the signal's number into a pipe; the
// program reacts when the event loop reads it, so no work ever runs inside the handler.
// One watcher per process: a second one takes the signals over from the first.
class SignalWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(const QList<int>& signalNumbers, QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QList<int> m_signals;
    int m_readEnd = -1;
    int m_writeEnd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
