#pragma once

#include "core/admission.h"
#include "intake/pagerefusal.h"

#include <QList>

#include <optional>

class ILogSinks;
class IServerStatus;
class ServerState;
struct QueueSubmission;

// How a page gets into the queue, whichever front end read it: the access number is checked
// with the admission's number policy, the fields against what the queue file and the paging
// terminal can take (SubmissionCheck); then the page is written through the queue's owner,
// which counts it, and shown in the "Connection Log" and Log.Dat.
class PageQueuer final
{
public:
    using Refusal = PageRefusal;

    explicit PageQueuer(ServerState& state);

    // The checks of one page, without writing anything.
    std::optional<Refusal> check(const QueueSubmission& submission) const;

    // Checks every page of one client and, when all pass, writes them to the queue file with one
    // write, then shows each. When one is refused, a company's section has no free key left
    // ("Queue Full") or the queue file cannot be written ("Queue Unavailable", with a line in
    // the Connection Log and Log.Dat), nothing is written.
    std::optional<Refusal> queue(const QList<QueueSubmission>& submissions);

private:
    // The six lines of one page in the "Connection Log" and Log.Dat.
    void show(const QueueSubmission& submission);

    Admission m_admission;
    IServerStatus& m_status;
    ILogSinks& m_log;
};
