#pragma once

#include "lines/carrierroute.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Lines.Dat in the data folder: which COM ports are modem lines, and which access numbers are
// delivered over the network instead of being dialled. A section/key file:
//
//   [Modems]
//   Ports=1,2
//   [Routes]
//   5551234=tap+tls://tap.carrier.example:18101
//
// Ports lists COM port numbers (1 to 4); without the key the modem line is Server.Dat's COM
// port alone. A key of [Routes] is an access number as the queue holds it, its value a
// CarrierRoute URL. Names of sections and keys match without regard to letter case; blank
// lines and lines starting with ";" or "#" are skipped. A line that cannot be used is ignored
// and reported with its line number; the rest of the file still counts.
class LinesFile final
{
public:
    static inline const QString FileName = QStringLiteral("Lines.Dat");

    struct Route
    {
        QByteArray accessNumber;
        CarrierRoute route;
        int line = 0;
    };
    struct Problem
    {
        int line = 0; // 1 for the first line; 0 for the file as a whole
        QByteArray text;
    };

    // No Lines.Dat: the one modem line `defaultComPort` (1 for COM1) and no routes.
    explicit LinesFile(int defaultComPort);

    // Reads the file at `path`. A missing file is no problem; one that cannot be read is
    // reported and gives the defaults.
    static LinesFile read(const QString& path, int defaultComPort);
    // The same for the file's bytes.
    static LinesFile parse(const QByteArray& bytes, int defaultComPort);

    bool present() const { return m_present; }
    // The file lists the modem lines (a [Modems] Ports key that could be used).
    bool portsGiven() const { return m_portsGiven; }
    // COM port numbers, 1 to 4, each once, in the order given.
    const QList<int>& ports() const { return m_ports; }
    const QList<Route>& routes() const { return m_routes; }
    const QList<Problem>& problems() const { return m_problems; }

    // The route of an access number, if it has one.
    std::optional<CarrierRoute> routeFor(QByteArrayView accessNumber) const;
    // A problem as one log line: "Lines.Dat line 4: ...".
    static QByteArray describe(const Problem& problem);

private:
    enum class Section { None, Modems, Routes, Unknown };

    void takeLine(int number, QByteArrayView line, Section& section);
    void takePorts(int number, QByteArrayView value);
    void takeRoute(int number, QByteArrayView key, QByteArrayView value);
    void problem(int line, const QByteArray& text);

    bool m_present = false;
    bool m_portsGiven = false;
    QList<int> m_ports;
    QList<Route> m_routes;
    QList<Problem> m_problems;
};
