#include "server/ui/statuspanels.h"

#include <QLabel>
#include <QStatusBar>

StatusPanels::StatusPanels(QStatusBar* bar, QObject* parent) : QObject(parent)
{
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    static constexpr int widths[Count] = {125, 75, 83, 75};
    for (int i = 0; i < Count; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        // The panels' widths; a panel grows when the desktop's font needs more room for its
        // text, so the clock and the countdown are never cut off.
        m_panels[i]->setMinimumWidth(widths[i]);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(m_panels[i]);
    }
}

QString StatusPanels::text(int panel) const
{
    return panel >= 0 && panel < Count ? m_panels[panel]->text() : QString();
}

void StatusPanels::setText(int panel, const QString& text)
{
    if (panel >= 0 && panel < Count)
        m_panels[panel]->setText(text);
}
