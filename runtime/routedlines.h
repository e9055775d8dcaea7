#pragma once

#include "calls/ilinechooser.h"
#include "lines/linesfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class Pacing;

// The routes of Lines.Dat as the run's line chooser: a company whose access number has a route
// is called over a TAP line (tap://, tap+tls://) or a WCTP line (wctp+http://, wctp+https://)
// made for that call; every other company is dialled on the modem. Without Lines.Dat there are
// no routes. The modem lines are those of its [Modems] Ports, or the settings' port alone.
class RoutedLines final : public ILineChooser
{
public:
    RoutedLines();

    // The durations the lines wait by; the standard ones unless given. It must outlive this.
    void setPacing(const Pacing& pacing) { m_pacing = &pacing; }

    // Reads the file at `path` again; the routes it holds replace the old ones from the next call
    // on, and no file means no routes. A file that cannot be read keeps the routes in use. Each
    // line that could not be used comes back as a log line ("Lines.Dat line 4: ...").
    QList<QByteArray> load(const QString& path);

    const LinesFile& file() const { return m_file; }

    std::optional<Route> route(const QByteArray& accessNumber) const override;
    QList<int> modemPorts() const override;

private:
    const Pacing* m_pacing = nullptr;
    LinesFile m_file;
};
