#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;

// StatusBar1: the clock, "Queued: n", "Next Check: n" and the latest paging progress text.
// The first three panels are 125, 75 and 83 pixels wide, or as wide as their widest text needs
// in the desktop's font, so the clock and the counters are always whole; a text wider than any
// before widens its panel. The progress panel takes what is left: a long progress text is cut
// there (the "Transmition Log" has it whole) and never pushes the other panels aside.
class StatusPanels final : public QObject
{
    Q_OBJECT

public:
    enum Panel { Clock = 0, Queued = 1, NextCheck = 2, Progress = 3 };
    static constexpr int Count = 4;

    StatusPanels(QStatusBar* bar, QObject* parent);

    QString text(int panel) const;
    QLabel* panel(int panel) const;

public slots:
    void setText(int panel, const QString& text);
    // "Queued: " + count and "Next Check: " + minutes.
    void showQueued(qint32 count);
    void showNextCheck(qint32 minutes);

private:
    // Widens a fixed panel to hold the text it shows.
    void fitText(int panel);

    QLabel* m_panels[Count];
};
