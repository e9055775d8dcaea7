#include "desktop/tconnectionlogform.h"

#include "core/ilogsinks.h"
#include "desktop/contexthelp.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TConnectionLogForm::TConnectionLogForm(const QString& caption, int helpContext, QWidget* parent)
    : QWidget(parent), m_memo(new QPlainTextEdit(this))
{
    setWindowTitle(caption);
    ContextHelp::setHelpContext(this, helpContext);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    // The window holds what the server keeps of its live log, no more.
    m_memo->setMaximumBlockCount(ILogSinks::LiveLogLines);
    // Only a vertical scroll bar: long lines wrap at the window's width, so every line reads
    // without scrolling sideways.
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);
}

QStringList TConnectionLogForm::lines() const
{
    if (m_memo->document()->isEmpty())
        return {};
    return m_memo->toPlainText().split(QLatin1Char('\n'));
}

void TConnectionLogForm::addLine(const QString& line)
{
    m_memo->appendPlainText(line);
}

void TConnectionLogForm::setLines(const QStringList& lines)
{
    m_memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void TConnectionLogForm::clear()
{
    m_memo->clear();
}
