#pragma once

#include <QObject>
#include <QString>

#include <cstdio>
#include <memory>

class IOperatorPrompts;
class ServerRuntime;

// The server without a display: the running server presented on a terminal. It reads the
// settings where nobody can answer the settings dialog, maps the process signals to the
// runtime's start, reload and stop, makes the decisions the main window leaves to the operator
// itself (each the one that keeps the server running and loses nothing), and writes the two
// live logs to `out`, one line each, with its own notes among them.
class HeadlessServer final : public QObject
{
    Q_OBJECT

public:
    HeadlessServer(const QString& dataDir, IOperatorPrompts& prompts, std::FILE* out = stdout,
                   QObject* parent = nullptr);
    ~HeadlessServer() override;

    // Settings (written as defaults when there are none), a queue left by an earlier run, the
    // allow list, then listening and the tick. False when the server cannot listen: without
    // its port it could take no page, and a service manager should see it fail.
    bool start();
    // Settings and allow list read again, the listener restarted; the gateway reads its
    // settings again and keeps its sessions unless its port changed or it was switched off.
    void reload();
    // Stops taking pages and ends the open conversations; a running call finishes the message
    // in hand and hangs up, and each paging client gets the reply to its command in hand and
    // "421". finished() follows once nothing runs any more and those replies are with the
    // system. The queue stays for the next start. Asked again while a call still runs, it cuts
    // the call at once.
    void stop();

signals:
    void finished();

private:
    void applySettings(bool atStart);
    void noteListening(bool listening);
    void writeLine(const char* log, const QString& line);
    void note(const QString& line);

    IOperatorPrompts& m_prompts;
    std::FILE* m_out;
    std::unique_ptr<ServerRuntime> m_runtime;
    bool m_stopping = false;
};
