#include "lines/linesfile.h"

#include "foundation/filestore.h"
#include "foundation/inilines.h"

namespace {

constexpr int kHighestComPort = 4;

} // namespace

LinesFile::LinesFile(int defaultComPort) : m_ports{defaultComPort} {}

LinesFile LinesFile::read(const QString& path, int defaultComPort)
{
    const FileStore::FileBytes file = FileStore::readFile(path);
    switch (file.status) {
    case FileStore::FileBytes::Status::Read:
        return parse(file.bytes, defaultComPort);
    case FileStore::FileBytes::Status::Missing:
        break;
    case FileStore::FileBytes::Status::Unreadable: {
        LinesFile result(defaultComPort);
        result.m_present = true;
        result.problem(0, "cannot be read (" + file.error.toLocal8Bit() + ")");
        return result;
    }
    }
    return LinesFile(defaultComPort);
}

LinesFile LinesFile::parse(const QByteArray& bytes, int defaultComPort)
{
    LinesFile result(defaultComPort);
    result.m_present = true;
    const QList<QByteArrayView> lines = FileStore::splitLineViews(bytes);
    Section section = Section::None;
    for (qsizetype i = 0; i < lines.size(); ++i)
        result.takeLine(static_cast<int>(i) + 1, lines.at(i), section);
    return result;
}

void LinesFile::takeLine(int number, QByteArrayView line, Section& section)
{
    const QByteArrayView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#'))
        return;
    if (const auto header = IniLines::headerName(trimmed)) {
        if (IniLines::sameName(*header, "Modems")) {
            section = Section::Modems;
        } else if (IniLines::sameName(*header, "Routes")) {
            section = Section::Routes;
        } else {
            section = Section::Unknown;
            problem(number, "unknown section [" + header->toByteArray() +
                                "] ([Modems] or [Routes]); its lines are ignored");
        }
        return;
    }
    if (section == Section::Unknown)
        return;
    const auto key = IniLines::entryKey(trimmed);
    if (!key) {
        problem(number, "not a key=value line");
        return;
    }
    const QByteArrayView value = IniLines::valueOf(trimmed).trimmed();
    switch (section) {
    case Section::None:
        problem(number, "an entry before the first section");
        return;
    case Section::Modems:
        if (IniLines::sameName(*key, "Ports"))
            takePorts(number, value);
        else
            problem(number, "unknown key \"" + key->toByteArray() + "\" in [Modems] (Ports)");
        return;
    case Section::Routes:
        takeRoute(number, *key, value);
        return;
    case Section::Unknown:
        return;
    }
}

void LinesFile::takePorts(int number, QByteArrayView value)
{
    if (m_portsGiven) {
        problem(number, "Ports is given a second time; the first counts");
        return;
    }
    QList<int> ports;
    for (const QByteArray& item : value.toByteArray().split(',')) {
        const QByteArray text = item.trimmed();
        bool ok = false;
        const int port = text.toInt(&ok);
        if (!ok || port < 1 || port > kHighestComPort) {
            problem(number, "Ports: \"" + text + "\" is not a COM port number from 1 to 4");
            return;
        }
        if (ports.contains(port)) {
            problem(number, "Ports: COM" + QByteArray::number(port) + " is listed twice");
            return;
        }
        ports.append(port);
    }
    m_portsGiven = true;
    m_ports = ports;
}

void LinesFile::takeRoute(int number, QByteArrayView key, QByteArrayView value)
{
    if (key.isEmpty()) {
        problem(number, "a route without an access number");
        return;
    }
    for (const Route& route : std::as_const(m_routes)) {
        if (route.accessNumber == key) {
            problem(number, "a second route for " + key.toByteArray() + " (line " +
                                QByteArray::number(route.line) + " counts)");
            return;
        }
    }
    QByteArray why;
    const std::optional<CarrierRoute> route = CarrierRoute::parse(value, &why);
    if (!route) {
        problem(number, "the route for " + key.toByteArray() + ": " + why);
        return;
    }
    m_routes.append(Route{key.toByteArray(), *route, number});
}

void LinesFile::problem(int line, const QByteArray& text)
{
    m_problems.append(Problem{line, text});
}

std::optional<CarrierRoute> LinesFile::routeFor(QByteArrayView accessNumber) const
{
    for (const Route& route : m_routes) {
        if (route.accessNumber == accessNumber)
            return route.route;
    }
    return std::nullopt;
}

QByteArray LinesFile::describe(const Problem& problem)
{
    const QByteArray file = FileName.toLatin1();
    if (problem.line <= 0)
        return file + ": " + problem.text;
    return file + " line " + QByteArray::number(problem.line) + ": " + problem.text;
}
