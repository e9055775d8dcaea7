#pragma once

#include "core/admission.h"
#include "http/httpoptionsentry.h"
#include "http/httpsettings.h"
#include "http/ihttpaccess.h"
#include "http/ihttppageintake.h"
#include "intake/pagequeuer.h"
#include "runtime/httpstatusview.h"

#include <QObject>

#include <functional>
#include <memory>

class HttpFrontEnd;
class ILogSinks;
class IOperatorPrompts;
class IPagerDirectory;
class PageKeeping;
class PageQueue;
class ServerMeter;
class ServerState;
struct PagerTarget;

// The HTTP front end in the running server: its access rules are the server's admission (the IP
// lists and the number policy); its pager IDs are looked up in the same directory as the SNPP
// gateway's; its pages go into the queue and the page store as every other front end's do, with
// the same checks, log lines and counting, and are answered only once they are on the disk. Its
// settings are Http.Dat's, read at start and at every reload.
class HttpBridge final : public QObject,
                         public IHttpAccess,
                         public IHttpPageIntake,
                         public IHttpSettingsHolder
{
    Q_OBJECT

public:
    // Runs a piece of work inside the runtime's exception boundary; false when it failed.
    using Guard = std::function<bool(const std::function<void()>&)>;

    HttpBridge(ServerState& state, PageKeeping& pages, const IPagerDirectory& directory,
               const ServerMeter& meter, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~HttpBridge() override;

    HttpFrontEnd& frontEnd() const { return *m_frontEnd; }
    const HttpStatusView& view() const { return m_view; }
    const HttpSettings& settings() const override { return m_settings; }
    bool isListening() const override;
    void setGuard(Guard guard) { m_guard = std::move(guard); }

    // Reads Http.Dat and listens as it says. A file that cannot be used leaves the settings in
    // use as they are (off at the first start), and the operator is told in the error box, as is
    // a port that cannot be listened on. Called again (a reload), it keeps the listener and its
    // connections while the front end stays on at the same port; a changed token counts from
    // the next request on.
    void start();
    // Stores the settings and listens as they say (the options dialog). The text for the
    // operator when the file cannot be written or the port cannot be listened on.
    std::optional<QString> configure(const HttpSettings& settings) override;
    // Stops listening and drops every connection.
    void stop();

    bool addressAdmitted(const QByteArray& address) const override;
    HttpIntakeResult submit(const HttpPageRequest& request) override;
    bool fits(const QByteArray& pagerId, const QByteArray& text) const override;

private:
    std::optional<QString> apply();
    HttpIntakeResult take(const HttpPageRequest& request);
    // Why one pager of `pagerId` cannot be sent `text`, or nothing.
    std::optional<HttpIntakeResult> refusalFor(const QByteArray& pagerId, const PagerTarget& target,
                                               const QByteArray& text) const;

    ServerState& m_state;
    ILogSinks& m_log;
    Admission m_admission;
    const IPagerDirectory& m_directory;
    PageQueuer m_queuer;
    PageQueue* m_pageQueue = nullptr;
    IOperatorPrompts& m_prompts;
    HttpStatusView m_view;
    HttpSettings m_settings;
    Guard m_guard;
    std::unique_ptr<HttpFrontEnd> m_frontEnd;
};
