#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

class PageStore;
class QProcess;
struct PageRecord;

// Runs the NotifyCommand once for each page that reached its final state, the way a peer hands
// a notice to mail or chat. The command is split into a program and its arguments by
// CommandLine::split and started without a shell; what it learns of the page comes in its
// environment:
//   ZELKOR_PAGE_ID, ZELKOR_PAGE_STATE (delivered, failed, expired, cancelled),
//   ZELKOR_PAGE_REASON (why it failed, expired or was cancelled; else empty), ZELKOR_PAGER_ID,
//   ZELKOR_PAGE_PIN, ZELKOR_PAGE_COMPANY, ZELKOR_PAGE_SENDER, ZELKOR_PAGE_ACCEPTED and
//   ZELKOR_PAGE_FINISHED (RFC 3339 times in local time with its offset).
// Each byte of a page's fields is the character of its code (Latin-1), which the command
// receives in UTF-8. The command's standard input is empty; its output is read and dropped, all
// but the first line, which the report of a failed command quotes.
//
// Commands start asynchronously, at most a few at a time; one that runs past its time limit is
// killed with everything it started (it runs in a process group of its own). "Once" holds
// across restarts: a page's record is marked before its command is started, so a restart never
// runs it a second time, and runs it for a page whose final state was recorded but whose
// command never started. (A kill between the mark and the start loses that one command.)
class NotifyRunner final : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeLimitMs = 30'000;
    static constexpr int DefaultMaxRunning = 4;

    enum class Outcome { Succeeded, Failed, TimedOut, NotStarted };
    Q_ENUM(Outcome)

    // Follows the store's pageFinished; call poll() once at start for the pages a restart left.
    explicit NotifyRunner(PageStore& store, QObject* parent = nullptr);
    // Kills the commands still running.
    ~NotifyRunner() override;

    // The NotifyCommand as PagesSettings checked it; empty runs nothing, and the pages that
    // become final meanwhile are settled without a command.
    void setCommand(const QByteArray& commandLine);
    void setTimeLimit(int milliseconds);
    void setMaxRunning(int count);
    int running() const { return int(m_processes.size()); }

public slots:
    // Starts the commands of due pages, as many as may run.
    void poll();

signals:
    // One command ended; `line` says how, for the Connection Log.
    void commandEnded(qint64 id, NotifyRunner::Outcome outcome, const QByteArray& line);

private:
    void pollOnce();
    void start(const PageRecord& page, const QList<QByteArray>& words);
    void ended(QProcess* process, qint64 id, Outcome outcome, const QByteArray& line);
    static void killGroup(QProcess* process);

    PageStore& m_store;
    QByteArray m_command;
    int m_timeLimitMs = DefaultTimeLimitMs;
    int m_maxRunning = DefaultMaxRunning;
    QList<QProcess*> m_processes;
    bool m_polling = false;
    bool m_pollAgain = false;
};
