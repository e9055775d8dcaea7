#pragma once

#include "core/peraddresslimit.h"
#include "snpp/snppguard.h"
#include "snpp/snpptiming.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <unordered_map>

class IPageSink;
class IPagerDirectory;
class ISnppAccess;
class QTcpServer;
class QTimer;
class SnppSession;

// The gateway's listener: accepts paging clients on IPv4 and gives each a session of its own.
// A client whose address the lists refuse, or whose address already holds MaxPerAddress
// sessions, gets one "421" reply and is let go. At MaxSessions it stops accepting until a
// session ends, so new clients wait in the listen backlog.
class SnppServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxPerAddress = 8;
    static constexpr int MaxSessions = 512;

    SnppServer(const ISnppAccess& access, const IPagerDirectory& directory, IPageSink& sink,
               QObject* parent = nullptr);
    ~SnppServer() override;

    void setTiming(const SnppTiming& timing) { m_timing = timing; }
    const SnppTiming& timing() const { return m_timing; }
    // What the sessions accepted from now on run their commands through; without one, a
    // command runs as it is.
    void setGuard(SnppGuard guard) { m_guard = std::move(guard); }

    // Listens on `port` of every IPv4 address (0: a free port), after a stop() of what it
    // served before. The platform's reason when that fails.
    std::optional<QString> listen(quint16 port);
    // Stops listening. Each session ends after the command in hand: its reply, then "421",
    // then an orderly close; drained() follows when the last one is gone. A client that does
    // not take its replies is dropped after the session's drain time.
    void stop();
    // Stops listening and drops every session at once.
    void abort();
    bool isListening() const;
    quint16 port() const;
    // Not listening, and no session left.
    bool isDrained() const { return !isListening() && m_sessions.isEmpty(); }

    // Sessions open at this moment.
    int sessionCount() const { return static_cast<int>(m_sessions.size()); }

signals:
    // A client was let go because its address already holds MaxPerAddress sessions.
    void tooManySessions(const QByteArray& address);
    // After a stop(), the last session has ended.
    void drained();

private:
    void acceptPending();
    void sessionFinished(SnppSession* session);

    const ISnppAccess& m_access;
    const IPagerDirectory& m_directory;
    IPageSink& m_sink;
    SnppTiming m_timing;
    SnppGuard m_guard;
    QTcpServer* m_listener;
    QTimer* m_resume;
    QList<SnppSession*> m_sessions;
    // The places of the sessions being served, by address; refused ones hold none.
    PerAddressLimit m_perAddress{MaxPerAddress};
    std::unordered_map<SnppSession*, PerAddressLimit::Claim> m_places;
};
