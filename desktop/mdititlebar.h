#pragma once

class QMdiSubWindow;

// The title bar of a window inside the main window's MDI area.
namespace MdiTitleBar {

// The room the title bar gives its caption at the frame's present width.
int labelWidth(const QMdiSubWindow* frame);
// The width the caption's text takes in the title bar's font.
int captionWidth(const QMdiSubWindow* frame);
// Widens the frame (never past `maxWidth`) until its title bar shows the whole caption.
void fitCaption(QMdiSubWindow* frame, int maxWidth);

} // namespace MdiTitleBar
