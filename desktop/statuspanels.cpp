#include "desktop/statuspanels.h"

#include "foundation/datetimetext.h"

#include <QLabel>
#include <QStatusBar>

namespace {

constexpr int ProgressPanel = StatusPanels::Progress;

// The widest clock texts: a two-digit day of each month (month names differ in width). The
// clock's panel is that wide from the start, so it does not jump as the days go by; the
// counters' panels widen when a number needs more room.
QStringList widestTexts(int panel)
{
    QStringList texts;
    if (panel == StatusPanels::Clock) {
        for (int month = 1; month <= 12; ++month)
            texts.append(DateTimeText::clock(QDateTime(QDate(2028, month, 28), QTime(20, 58, 58))));
    }
    return texts;
}

} // namespace

StatusPanels::StatusPanels(QStatusBar* bar, QObject* parent) : QObject(parent)
{
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    static constexpr int widths[Count - 1] = {125, 75, 83};
    for (int i = 0; i < Count; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        if (i == ProgressPanel) {
            // Whatever the text, the layout gives this panel only the room that is left; it
            // asks for no room of its own, so it never makes the window wider.
            m_panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            m_panels[i]->setMinimumWidth(0);
            bar->addWidget(m_panels[i], 1);
            continue;
        }
        m_panels[i]->setFixedWidth(widths[i]);
        for (const QString& text : widestTexts(i)) {
            m_panels[i]->setText(text);
            fitText(i);
        }
        m_panels[i]->clear();
        bar->addWidget(m_panels[i]);
    }
}

QLabel* StatusPanels::panel(int panel) const
{
    return panel >= 0 && panel < Count ? m_panels[panel] : nullptr;
}

QString StatusPanels::text(int panel) const
{
    return panel >= 0 && panel < Count ? m_panels[panel]->text() : QString();
}

void StatusPanels::setText(int panel, const QString& text)
{
    if (panel < 0 || panel >= Count)
        return;
    m_panels[panel]->setText(text);
    if (panel == ProgressPanel)
        m_panels[panel]->setToolTip(text);
    else
        fitText(panel);
}

void StatusPanels::showQueued(qint32 count)
{
    setText(Queued, QStringLiteral("Queued: %1").arg(count));
}

void StatusPanels::showNextCheck(qint32 minutes)
{
    setText(NextCheck, QStringLiteral("Next Check: %1").arg(minutes));
}

void StatusPanels::fitText(int panel)
{
    // The label's own measure of its text, frame, margins and indent.
    QLabel* label = m_panels[panel];
    const int needed = label->sizeHint().width();
    if (needed > label->minimumWidth())
        label->setFixedWidth(needed);
}
