#pragma once

#include "core/admission.h"
#include "intake/pagequeuer.h"
#include "workstation/isubmissionhandler.h"

class ILogSinks;
class IOperatorPrompts;
class IServerStatus;
class ServerState;

// The running server as its workstation conversations see it: the admission (the IP lists and
// the allow list of the settings), the busy state and the countdown of the status, the page
// queuer, the "Connection Log" for refused pages, and the operator for failures.
class SubmissionHandler final : public ISubmissionHandler
{
public:
    SubmissionHandler(ServerState& state, IOperatorPrompts& prompts);

    PageQueuer& queuer() { return m_queuer; }

    bool addressAdmitted(const QByteArray& address) const override;
    bool allowListAllows(const QByteArray& accessNumber) const override;
    bool serverBusy() const override;
    qint32 nextCheck() const override;
    std::optional<PageRefusal> checkPage(const QueueSubmission& page) const override;
    std::optional<PageRefusal> queuePages(const QList<QueueSubmission>& pages) override;
    void logRefusal(const PageRefusal& refusal, const QByteArray& sender) override;
    void reportFailure(const QString& text) override;

    // The most of a workstation's text that a log line shows.
    static constexpr qsizetype MaxShown = 80;

private:
    Admission m_admission;
    const IServerStatus& m_status;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    PageQueuer m_queuer;
};
