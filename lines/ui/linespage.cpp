#include "lines/ui/linespage.h"

#include "ui/dialogshowwatcher.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

LinesPage::LinesPage(const QString& dataDir, QWidget* parent) : QWidget(parent), m_options(dataDir)
{
    setObjectName(QStringLiteral("LinesPage"));
    // Each opening of the dialog shows the settings in use afresh.
    new DialogShowWatcher(this, [this] { load(); });
    setProperty("helpContext", HelpTopic);

    auto* box = new QGroupBox(QStringLiteral("Delivery Lines (Lines.Dat)"), this);
    m_text = new QPlainTextEdit(box);
    m_text->setObjectName(QStringLiteral("LinesText"));
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setPlaceholderText(
        QStringLiteral("[Routes]\n5551234=tap+tls://tap.carrier.example:18101"));
    m_text->setToolTip(QStringLiteral("Access Numbers Delivered Over The Network Instead Of The "
                                      "Modem"));
    auto* note = new QLabel(QStringLiteral("Under [Routes], one line per access number: "
                                           "tap://host:port, tap+tls://host:port[?ca=file], "
                                           "wctp+http://host/path or wctp+https://host/path. "
                                           "Other numbers are dialled on the modem."),
                            box);
    note->setWordWrap(true);
    m_fileNote = new QLabel(box);
    m_fileNote->setObjectName(QStringLiteral("LinesFileNote"));
    m_fileNote->setWordWrap(true);

    auto* column = new QVBoxLayout(box);
    column->addWidget(m_text);
    column->addWidget(note);
    column->addWidget(m_fileNote);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    setFocusProxy(m_text);
    load();
}

void LinesPage::load()
{
    m_text->setPlainText(m_options.load());
    if (const std::optional<QString>& problem = m_options.fileProblem())
        m_fileNote->setText(QStringLiteral("%1. The server keeps the routes it runs with until "
                                           "new ones are stored.")
                                .arg(*problem));
    else
        m_fileNote->clear();
    m_fileNote->setVisible(m_options.fileProblem().has_value());
}

std::optional<QString> LinesPage::check()
{
    return m_options.check(m_text->toPlainText());
}

LinesOptions::Applied LinesPage::apply(IOperatorPrompts& prompts)
{
    return m_options.apply(m_text->toPlainText(), prompts);
}
