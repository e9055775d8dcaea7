#include "desktop/mdititlebar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionTitleBar>

namespace {

// The title bar as the frame paints it, for a frame `width` pixels wide.
QStyleOptionTitleBar titleBarOption(const QMdiSubWindow* frame, int width)
{
    QStyleOptionTitleBar option;
    option.initFrom(frame);
    option.state |= QStyle::State_Active;
    option.titleBarState = QStyle::State_Active;
    option.titleBarFlags = frame->windowFlags();
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    option.icon = frame->windowIcon();
    option.text = frame->windowTitle();
    const int border =
        frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    const int height = frame->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, frame);
    option.rect = QRect(border, border, width - 2 * border, height - border);
    return option;
}

int labelWidthAt(const QMdiSubWindow* frame, int width)
{
    const QStyleOptionTitleBar option = titleBarOption(frame, width);
    return frame->style()
        ->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, frame)
        .width();
}

} // namespace

namespace MdiTitleBar {

int labelWidth(const QMdiSubWindow* frame)
{
    return labelWidthAt(frame, frame->width());
}

int captionWidth(const QMdiSubWindow* frame)
{
    // The title bar's own font, in bold as an active frame may show it: never narrower than
    // what is painted.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(frame->windowTitle());
}

void fitCaption(QMdiSubWindow* frame, int maxWidth)
{
    const int needed = captionWidth(frame);
    int width = frame->width();
    while (width < maxWidth && labelWidthAt(frame, width) < needed)
        width = qMin(maxWidth, width + 4);
    if (width != frame->width())
        frame->resize(width, frame->height());
}

} // namespace MdiTitleBar
