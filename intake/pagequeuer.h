#pragma once

#include "intake/pagerefusal.h"

#include <QByteArray>
#include <QList>

#include <optional>

class ILogSinks;
class IServerSettings;
class IServerStatus;
class ServerState;
struct SubmissionBlock;

// How a page gets into the queue, whoever hands it in: the access number is checked against the
// dialling characters and the allow list, the fields against what the queue file and the paging
// terminal can take; then the page is written to its company's section, shown in the
// "Connection Log" and Log.Dat, and counted in QueuedCount.
class PageQueuer final
{
public:
    using Refusal = PageRefusal;

    explicit PageQueuer(ServerState& state);

    // The checks of one page from `sender`, without writing anything.
    std::optional<Refusal> check(const SubmissionBlock& block, const QByteArray& sender) const;

    // Checks every page and, when all pass, writes them to the queue file with one write, then
    // shows and counts each. When one is refused, a company's section has no free key left
    // ("Queue Full") or the queue file cannot be written ("Queue Unavailable", with a line in
    // the Connection Log and Log.Dat), nothing is written.
    std::optional<Refusal> queue(const QList<SubmissionBlock>& blocks, const QByteArray& sender);

private:
    // The six lines of one page in the "Connection Log" and Log.Dat.
    void show(const SubmissionBlock& block, const QByteArray& sender);

    const IServerSettings& m_settings;
    IServerStatus& m_status;
    ILogSinks& m_log;
};
