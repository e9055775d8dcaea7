#include "runtime/routedlines.h"

#include "lines/tapnetworkline.h"
#include "lines/wctpline.h"

namespace {

template <typename Line>
std::unique_ptr<IPagingLine> made(const CarrierRoute& route, const Pacing* pacing,
                                  const RoutedLines::ProgressHandler& progress)
{
    auto line = std::make_unique<Line>(route);
    if (pacing)
        line->setPacing(*pacing);
    line->setOnPageProgress(progress);
    return line;
}

} // namespace

RoutedLines::RoutedLines(ProgressHandler progress)
    : m_progress(std::move(progress)), m_file(LinesFile(1))
{
}

QList<QByteArray> RoutedLines::load(const QString& path, int defaultComPort)
{
    LinesFile file = LinesFile::read(path, defaultComPort);
    QList<QByteArray> problems;
    bool unreadable = false;
    for (const LinesFile::Problem& problem : file.problems()) {
        problems.append(LinesFile::describe(problem));
        unreadable = unreadable || problem.line <= 0;
    }
    // A file that cannot be read at all says nothing about the routes: those in use stay, as
    // with an allow list that cannot be read.
    if (!unreadable)
        m_file = std::move(file);
    return problems;
}

std::unique_ptr<IPagingLine> RoutedLines::routedLine(const QByteArray& accessNumber)
{
    const std::optional<CarrierRoute> route = m_file.routeFor(accessNumber);
    if (!route)
        return nullptr;
    switch (route->protocol()) {
    case CarrierRoute::Protocol::Tap:
        return made<TapNetworkLine>(*route, m_pacing, m_progress);
    case CarrierRoute::Protocol::Wctp:
        return made<WctpLine>(*route, m_pacing, m_progress);
    }
    return nullptr;
}
