#pragma once

#include "desktop/helpviewer.h"

#include <QObject>
#include <QPointer>

class QWidget;

// The main window's help: one help window serves every request of the program. It is created on
// the first request, frees itself when the operator closes it, and goes with its owner. It
// leaves the screen with the main window it follows (minimized, or hidden to the tray icon) and
// comes back with it.
class HelpWindow final : public QObject
{
    Q_OBJECT

public:
    explicit HelpWindow(QObject* parent = nullptr);
    ~HelpWindow() override;

    // The help window hides while `window` is minimized or hidden.
    void follow(QWidget* window);

    HelpViewer* showContents();
    // The topic's page; the contents for a topic without one.
    HelpViewer* showTopic(int topic);
    // The open help window, or nullptr.
    HelpViewer* viewer() const { return m_viewer.data(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpViewer* open(const QUrl& page);
    void followedWindowChanged();

    QPointer<HelpViewer> m_viewer;
    QPointer<QWidget> m_followed;
    // The help window was in view when the followed window went, and returns with it.
    bool m_hiddenWithWindow = false;
};
