#include "lines/ui/linesoptions.h"

#include "foundation/filestore.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "lines/linesfile.h"

#include <QDir>

LinesOptions::LinesOptions(QString dataDir) : m_dataDir(std::move(dataDir)) {}

QString LinesOptions::filePath() const
{
    return QDir(m_dataDir).filePath(LinesFile::FileName);
}

QString LinesOptions::load()
{
    const FileStore::FileBytes file = FileStore::readFile(filePath());
    m_fileProblem.reset();
    m_loaded.clear();
    switch (file.status) {
    case FileStore::FileBytes::Status::Read:
        m_loaded = fileBytes(WidgetText::fromBytes(file.bytes));
        return WidgetText::fromBytes(file.bytes);
    case FileStore::FileBytes::Status::Missing:
        break;
    case FileStore::FileBytes::Status::Unreadable:
        m_fileProblem =
            QStringLiteral("%1 cannot be read (%2)").arg(LinesFile::FileName, file.error);
        break;
    }
    return QString();
}

std::optional<QString> LinesOptions::check(const QString& text) const
{
    const LinesFile parsed = LinesFile::parse(fileBytes(text), 1);
    if (parsed.problems().isEmpty())
        return std::nullopt;
    QStringList lines;
    for (const LinesFile::Problem& problem : parsed.problems())
        lines.append(WidgetText::fromBytes(LinesFile::describe(problem)));
    return lines.join(QStringLiteral("\r\n"));
}

LinesOptions::Applied LinesOptions::apply(const QString& text, IOperatorPrompts& prompts)
{
    if (const std::optional<QString> problems = check(text))
        return {false, *problems};
    const QByteArray bytes = fileBytes(text);
    // Text as it was shown leaves the file alone: an empty page makes no file, and a file that
    // could not be read stays as it is for the operator to look into.
    if (bytes == m_loaded)
        return {};
    if (m_fileProblem &&
        !prompts.askYesNo(
            IOperatorPrompts::BoxKind::Confirmation,
            QStringLiteral("%1.\r\nReplace it with the lines entered?").arg(*m_fileProblem)))
        return {};
    if (!FileStore::writeAtomically(filePath(), bytes))
        return {false, QStringLiteral("Unable to write to %1").arg(filePath())};
    m_loaded = bytes;
    m_fileProblem.reset();
    return {true, std::nullopt};
}

QByteArray LinesOptions::fileBytes(const QString& text)
{
    // Shared data files end their lines in CR LF; trailing empty lines are dropped.
    QList<QByteArray> lines = FileStore::splitLines(WidgetText::toBytes(text));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return FileStore::joinCrLf(lines);
}
