#include "desktop/mainwindowtray.h"

#include "foundation/errors.h"
#include "ui/systemtrayshell.h"
#include "ui/ttrayicon.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>

MainWindowTray::MainWindowTray(QWidget* window, ITrayShell* shell,
                               const std::function<void()>& shutDown, ErrorBox errorBox)
    : QObject(window), m_window(window), m_menu(new QMenu(window)), m_errorBox(std::move(errorBox))
{
    m_menu->setObjectName(QStringLiteral("SysTrayMenu"));
    QAction* item = m_menu->addAction(QStringLiteral("&Shut Down"));
    item->setObjectName(QStringLiteral("SysTrayShutDown1"));
    connect(item, &QAction::triggered, this, shutDown);

    if (!shell) {
        auto* desktop = new SystemTrayShell(window, window->windowIcon(), this);
        connect(desktop, &SystemTrayShell::shellMessage, this,
                [this](TTrayIcon::MouseMessage message) { m_trayIcon->shellMessage(message); });
        shell = desktop;
    }
    m_trayIcon = std::make_unique<TTrayIcon>(*shell, QCoreApplication::applicationName());
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon1"));
    m_trayIcon->setPopupMenu(m_menu);
    // Active from the start whatever the settings say; they apply once confirmed.
    m_trayIcon->setActive(true);
}

MainWindowTray::~MainWindowTray() = default;

void MainWindowTray::windowStateChanged(bool minimized)
{
    if (minimized && !m_trayIcon->Minimized()) {
        try {
            m_trayIcon->applicationMinimized();
        } catch (const EZelkorError& error) {
            reportLater(error.text());
        }
    } else if (!minimized && m_trayIcon->Minimized()) {
        m_trayIcon->applicationRestored();
    }
}

void MainWindowTray::setActive(bool active)
{
    try {
        m_trayIcon->setActive(active);
    } catch (const EZelkorError& error) {
        reportLater(error.text());
    }
}

void MainWindowTray::reportLater(const QString& message)
{
    // Not inside the window's state change: the box would open in the middle of a minimize.
    QTimer::singleShot(0, this, [this, message] { m_errorBox(message); });
}
