#include "pages/ui/pagekeepingpage.h"

#include "ui/dialogshowwatcher.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QLineEdit* entry(const char* name, int maxLength, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    return edit;
}

QLabel* label(const QString& text, QLineEdit* buddy, QWidget* parent)
{
    auto* shown = new QLabel(text, parent);
    shown->setBuddy(buddy);
    return shown;
}

} // namespace

PageKeepingPage::PageKeepingPage(const QString& dataDir, QWidget* parent)
    : QWidget(parent), m_options(dataDir)
{
    setObjectName(QStringLiteral("PageKeepingPage"));
    // Each opening of the dialog shows the settings in use afresh.
    new DialogShowWatcher(this, [this] { load(); });
    setProperty("helpContext", HelpTopic);

    auto* box = new QGroupBox(QStringLiteral("Page Keeping"), this);
    // No validators: what is typed stays in view, and OK says what is wrong with it.
    m_keepDays = entry("KeepDays", 9, box);
    m_keepDays->setFixedWidth(64);
    m_keepDays->setToolTip(QStringLiteral("Days A Page's Fate Is Kept Once It Is Final (1 To "
                                          "%1)")
                               .arg(PagesSettings::MaxKeepDays));
    m_maxAgeHours = entry("MaxAgeHours", 9, box);
    m_maxAgeHours->setFixedWidth(64);
    m_maxAgeHours->setToolTip(QStringLiteral("A Page Not Sent Within This Many Hours Expires (0: "
                                             "Never)"));
    m_notifyCommand = entry("NotifyCommand", int(PagesSettings::MaxCommandLength), box);
    m_notifyCommand->setMinimumWidth(280);
    m_notifyCommand->setToolTip(QStringLiteral("Run Once For Each Page At Its Final State, "
                                               "Without A Shell (Empty: None)"));
    auto* form = new QFormLayout;
    form->addRow(label(QStringLiteral("&Keep Pages For (Days):"), m_keepDays, box), m_keepDays);
    form->addRow(label(QStringLiteral("&Maximum Age (Hours):"), m_maxAgeHours, box), m_maxAgeHours);
    form->addRow(label(QStringLiteral("&Notify Command:"), m_notifyCommand, box), m_notifyCommand);
    auto* note = new QLabel(QStringLiteral("A maximum age of 0 never expires a page. The notify "
                                           "command learns of the page from its environment "
                                           "(ZELKOR_PAGE_ID, ZELKOR_PAGE_STATE, ...)."),
                            box);
    note->setWordWrap(true);
    m_fileNote = new QLabel(box);
    m_fileNote->setObjectName(QStringLiteral("PagesFileNote"));
    m_fileNote->setWordWrap(true);

    auto* column = new QVBoxLayout(box);
    column->addLayout(form);
    column->addWidget(note);
    column->addWidget(m_fileNote);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch();
    // The page's focus goes to its first entry until a refused OK points at another.
    setFocusProxy(m_keepDays);
    load();
}

void PageKeepingPage::load()
{
    const PageKeepingOptions::Entries shown = m_options.load();
    m_keepDays->setText(shown.keepDays);
    m_maxAgeHours->setText(shown.maxAgeHours);
    m_notifyCommand->setText(shown.notifyCommand);
    m_notifyCommand->setCursorPosition(0);
    if (const std::optional<QString>& problem = m_options.fileProblem())
        m_fileNote->setText(QStringLiteral("%1. The defaults are shown; the server keeps the "
                                           "settings it runs with until new ones are stored.")
                                .arg(*problem));
    else
        m_fileNote->clear();
    m_fileNote->setVisible(m_options.fileProblem().has_value());
}

std::optional<QString> PageKeepingPage::check()
{
    const std::optional<PageKeepingOptions::Refusal> refused = m_options.check(entries());
    if (!refused)
        return std::nullopt;
    switch (refused->field) {
    case PageKeepingOptions::Field::KeepDays:
        setFocusProxy(m_keepDays);
        break;
    case PageKeepingOptions::Field::MaxAgeHours:
        setFocusProxy(m_maxAgeHours);
        break;
    case PageKeepingOptions::Field::NotifyCommand:
        setFocusProxy(m_notifyCommand);
        break;
    }
    return refused->text;
}

PageKeepingOptions::Applied PageKeepingPage::apply(IOperatorPrompts& prompts)
{
    return m_options.apply(entries(), prompts);
}

PageKeepingOptions::Entries PageKeepingPage::entries() const
{
    return {m_keepDays->text(), m_maxAgeHours->text(), m_notifyCommand->text()};
}
