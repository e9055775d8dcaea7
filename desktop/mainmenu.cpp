#include "desktop/mainmenu.h"

#include "desktop/contexthelp.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

MainMenu::MainMenu(QMenuBar* bar, QObject* parent) : QObject(parent)
{
    bar->setObjectName(QStringLiteral("MainMenu1"));
    m_file = bar->addMenu(QStringLiteral("&File"));
    m_file->setObjectName(QStringLiteral("File1"));
    ContextHelp::setHelpContext(m_file, 11);
    m_sendNow = add(m_file, "SendNow1", QStringLiteral("Send &Now"), QLatin1Char('N'));
    m_cancelCall = add(m_file, "CancelCall1", QStringLiteral("&Cancel Call"), QLatin1Char('C'));
    // Only a running call makes Cancel Call available.
    m_cancelCall->setEnabled(false);
    m_clearMsgQueue =
        add(m_file, "ClearMsgQueue1", QStringLiteral("Clear Msg. &Queue"), QLatin1Char('Q'));
    m_file->addSeparator();
    m_sendTestMsg =
        add(m_file, "SendTestMsg1", QStringLiteral("&Send Test Msg."), QLatin1Char('T'));
    m_showIPAddress =
        add(m_file, "ShowIPAddress1", QStringLiteral("&Show IP Address"), QLatin1Char('I'));
    m_logViewer = add(m_file, "LogViewer1", QStringLiteral("&Log Viewer"), QLatin1Char('L'));
    m_file->addSeparator();
    m_accessBlockList = add(m_file, "AccessBlockList1", QStringLiteral("&Access Number Allow List"),
                            QLatin1Char('A'));
    m_settings = add(m_file, "Settings1", QStringLiteral("&Settings"), QLatin1Char('S'));
    m_file->addSeparator();
    m_shutDown = add(m_file, "ShutDown1", QStringLiteral("&Shut Down"), QLatin1Char('X'));

    m_shared = bar->addMenu(QStringLiteral("&Shared Lists"));
    m_shared->setObjectName(QStringLiteral("SharedLists1"));
    m_users = add(m_shared, "Users1", QStringLiteral("&Users Lists"), QLatin1Char('U'), 30);
    m_groups = add(m_shared, "Groups1", QStringLiteral("&Groups Lists"), QLatin1Char('G'), 32);
    m_pagingCompanies = add(m_shared, "PagingCompanies1", QStringLiteral("&Paging Companies"),
                            QLatin1Char('P'), 33);

    m_help = bar->addMenu(QStringLiteral("&Help"));
    m_help->setObjectName(QStringLiteral("Help1"));
    m_contents = add(m_help, "Contents1", QStringLiteral("&Contents"));
    m_about = add(m_help, "About1", QStringLiteral("&About"));
}

QAction* MainMenu::add(QMenu* menu, const char* name, const QString& caption, QChar ctrlKey,
                       int helpContext)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!ctrlKey.isNull())
        action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + ctrlKey));
    if (helpContext != 0)
        ContextHelp::setHelpContext(action, helpContext);
    return action;
}
