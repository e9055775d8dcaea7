#include "desktop/logwindowtiler.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

LogWindowTiler::LogWindowTiler(QMdiArea* area) : QObject(area), m_viewport(area->viewport())
{
    // The viewport is the area the windows live in; it has its new size when it hears of it.
    m_viewport->installEventFilter(this);
}

void LogWindowTiler::add(QMdiSubWindow* window)
{
    m_windows.append(window);
}

QList<QRect> LogWindowTiler::arrange(const QSize& size, int count)
{
    QList<QRect> places;
    if (count <= 0 || size.isEmpty())
        return places;
    const bool columns = size.width() >= count * MinColumnWidth;
    const int whole = columns ? size.width() : size.height();
    for (int i = 0; i < count; ++i) {
        // The last window takes what the division leaves over.
        const int from = whole * i / count;
        const int to = whole * (i + 1) / count;
        places.append(columns ? QRect(from, 0, to - from, size.height())
                              : QRect(0, from, size.width(), to - from));
    }
    return places;
}

void LogWindowTiler::tile()
{
    if (!m_automatic)
        return;
    QList<QMdiSubWindow*> shown;
    for (const QPointer<QMdiSubWindow>& window : m_windows) {
        if (window && window->isVisible())
            shown.append(window);
    }
    const QList<QRect> places = arrange(m_viewport->size(), int(shown.size()));
    m_arranging = true;
    for (qsizetype i = 0; i < places.size(); ++i) {
        shown[i]->setGeometry(places[i]);
        // Watched from the first tiling on: the MDI area's own placing of a new window
        // before that is no arrangement of the operator's.
        shown[i]->installEventFilter(this);
    }
    m_arranging = false;
}

bool LogWindowTiler::eventFilter(QObject* watched, QEvent* event)
{
    // Compared with the viewport kept from the start: events still come while the area is
    // being destroyed.
    if (watched == m_viewport) {
        if (event->type() == QEvent::Resize)
            tile();
        return false;
    }
    // A log window that moves or changes size while it is in view, and not by this tiling, is
    // the operator's doing (dragging, sizing, minimizing or maximizing it).
    const bool moved = event->type() == QEvent::Move || event->type() == QEvent::Resize;
    auto* window = qobject_cast<QMdiSubWindow*>(watched);
    if (moved && window && window->isVisible() && !m_arranging)
        m_automatic = false;
    return false;
}
