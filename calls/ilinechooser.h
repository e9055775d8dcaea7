#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

class IPagingLine;

// Chooses the lines the run delivers over: the modem lines (COM ports) it may use at once, and
// for a company reached over the network instead of dialled, its carrier's line. The run asks
// at each call and makes a fresh line for it, so a change of the routes between calls takes
// effect at the next call and never pulls a line from under the call in hand.
class ILineChooser
{
public:
    // A carrier's line for one company.
    struct Route
    {
        QByteArray name; // as log lines name the line: "tap+tls://host:18101"
        QByteArray host; // calls to one host share its limit of lines at once
        // Makes the line, set up with its pacing; called on the thread the line will live on.
        std::function<std::unique_ptr<IPagingLine>()> make;
    };

    virtual ~ILineChooser() = default;

    // The route of the company with `accessNumber`; nothing when it is dialled on a modem.
    virtual std::optional<Route> route(const QByteArray& accessNumber) const = 0;
    // The COM port numbers (1 for COM1) of the modem lines, in order; empty when only the
    // settings' own port is a modem line.
    virtual QList<int> modemPorts() const = 0;

protected:
    ILineChooser() = default;
    ILineChooser(const ILineChooser&) = default;
    ILineChooser& operator=(const ILineChooser&) = default;
};
