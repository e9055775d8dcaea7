#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;

// StatusBar1: four panels of widths 125, 75, 83 and 75 for the clock, "Queued: n",
// "Next Check: n" and the latest paging progress text.
class StatusPanels final : public QObject
{
    Q_OBJECT

public:
    static constexpr int Count = 4;

    StatusPanels(QStatusBar* bar, QObject* parent);

    QString text(int panel) const;

public slots:
    void setText(int panel, const QString& text);

private:
    QLabel* m_panels[Count];
};
