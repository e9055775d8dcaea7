#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QMdiArea;
class QMdiSubWindow;

// Keeps the log windows tiled over the main window's client area: one above the other while
// the area is narrow (each line then gets the whole width), side by side once it is wide
// enough for columns. The tiling follows every change of the main window's size until the
// operator moves or sizes a log window; from then on the operator's arrangement stands.
class LogWindowTiler final : public QObject
{
    Q_OBJECT

public:
    // The narrowest column worth reading a log line in.
    static constexpr int MinColumnWidth = 400;

    explicit LogWindowTiler(QMdiArea* area);

    void add(QMdiSubWindow* window);
    // Tiles the visible log windows now, if the operator has not arranged them.
    void tile();
    bool isAutomatic() const { return m_automatic; }

    // The places of `count` windows in an area of `size`: columns when each gets at least
    // MinColumnWidth, otherwise rows; together they cover the area.
    static QList<QRect> arrange(const QSize& size, int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_viewport;
    QList<QPointer<QMdiSubWindow>> m_windows;
    bool m_automatic = true;
    bool m_arranging = false;
};
