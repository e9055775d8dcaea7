#include "service/headlessprompts.h"

#include "service/loglinetext.h"

#include <QDateTime>
#include <QTimer>

namespace {

QByteArray kindWord(IOperatorPrompts::BoxKind kind)
{
    switch (kind) {
    case IOperatorPrompts::BoxKind::Warning:
        return "Warning";
    case IOperatorPrompts::BoxKind::Error:
        return "Error";
    case IOperatorPrompts::BoxKind::Confirmation:
        return "Question";
    case IOperatorPrompts::BoxKind::Information:
        return "Information";
    }
    return "Message";
}

} // namespace

HeadlessPrompts::HeadlessPrompts(std::FILE* errors) : m_errors(errors) {}

void HeadlessPrompts::write(const QByteArray& kind, const QString& text)
{
    // A box may hold several lines (CR LF inside its text); the log keeps one line per box.
    const QByteArray line =
        LogLineText::format(QDateTime::currentDateTime(), kind.constData(), text);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_errors);
    std::fflush(m_errors);
}

void HeadlessPrompts::showMessage(BoxKind kind, const QString& text)
{
    write(kindWord(kind), text);
}

bool HeadlessPrompts::askYesNo(BoxKind kind, const QString& text)
{
    write(kindWord(kind), text + QStringLiteral(" -> No (nobody to answer)"));
    return false;
}

std::optional<QString> HeadlessPrompts::inputText(const QString& title, const QString& prompt,
                                                  const QString&)
{
    write("Input", title + QStringLiteral(": ") + prompt +
                       QStringLiteral(" -> cancelled (nobody to answer)"));
    return std::nullopt;
}

void HeadlessPrompts::showError(const QString& message)
{
    write("Error", message);
}

void HeadlessPrompts::notifyError(const QString& message, std::function<void()> dismissed)
{
    write("Error", message);
    // Nobody closes the box: a failure that goes on is written again after a minute rather
    // than once for every line it costs.
    if (dismissed)
        QTimer::singleShot(60 * 1000, std::move(dismissed));
}
