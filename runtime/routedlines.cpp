#include "runtime/routedlines.h"

#include "lines/tapnetworkline.h"
#include "lines/wctpline.h"

namespace {

template <typename Line>
std::unique_ptr<IPagingLine> made(const CarrierRoute& route, const Pacing* pacing)
{
    auto line = std::make_unique<Line>(route);
    if (pacing)
        line->setPacing(*pacing);
    return line;
}

} // namespace

// Without Ports in the file the modem line is the settings' port, whichever it is: the default
// port given to the file is never used.
RoutedLines::RoutedLines() : m_file(LinesFile(1)) {}

QList<QByteArray> RoutedLines::load(const QString& path)
{
    LinesFile file = LinesFile::read(path, 1);
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

std::optional<ILineChooser::Route> RoutedLines::route(const QByteArray& accessNumber) const
{
    const std::optional<CarrierRoute> route = m_file.routeFor(accessNumber);
    if (!route)
        return std::nullopt;
    Route result;
    result.name = route->name();
    result.host = route->host().toUtf8();
    // The maker holds its own copy of the route: a reload meanwhile does not touch it.
    switch (route->protocol()) {
    case CarrierRoute::Protocol::Tap:
        result.make = [route = *route, pacing = m_pacing] {
            return made<TapNetworkLine>(route, pacing);
        };
        break;
    case CarrierRoute::Protocol::Wctp:
        result.make = [route = *route, pacing = m_pacing] { return made<WctpLine>(route, pacing); };
        break;
    }
    return result;
}

QList<int> RoutedLines::modemPorts() const
{
    return m_file.portsGiven() ? m_file.ports() : QList<int>();
}
