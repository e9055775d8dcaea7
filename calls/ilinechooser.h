#pragma once

#include <QByteArray>

#include <memory>

class IPagingLine;

// Chooses the line a company is called over when it is not dialled on the modem: a carrier
// reached over the network for its access number. The run asks once per call and owns the line
// it is given for that call only, so a change of the routes between calls takes effect at the
// next call and never pulls a line from under the call in hand.
class ILineChooser
{
public:
    virtual ~ILineChooser() = default;

    // A fresh line for the company with `accessNumber`, set up with its pacing and progress
    // handler; nothing when the company is dialled on the modem.
    virtual std::unique_ptr<IPagingLine> routedLine(const QByteArray& accessNumber) = 0;

protected:
    ILineChooser() = default;
    ILineChooser(const ILineChooser&) = default;
    ILineChooser& operator=(const ILineChooser&) = default;
};
