#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

// The main window's menu: "&File", "&Shared Lists" and "&Help" with every command, each action
// named as its menu item ("SendNow1", "Settings1", ...) and carrying its Ctrl shortcut and help
// context. The main window connects the actions to its handlers.
class MainMenu final : public QObject
{
    Q_OBJECT

public:
    MainMenu(QMenuBar* bar, QObject* parent);

    QMenu* File1() const { return m_file; }
    QMenu* SharedLists1() const { return m_shared; }
    QMenu* Help1() const { return m_help; }

    QAction* SendNow1() const { return m_sendNow; }
    QAction* CancelCall1() const { return m_cancelCall; }
    QAction* ClearMsgQueue1() const { return m_clearMsgQueue; }
    QAction* SendTestMsg1() const { return m_sendTestMsg; }
    QAction* ShowIPAddress1() const { return m_showIPAddress; }
    QAction* LogViewer1() const { return m_logViewer; }
    QAction* AccessBlockList1() const { return m_accessBlockList; }
    QAction* Settings1() const { return m_settings; }
    QAction* ShutDown1() const { return m_shutDown; }
    QAction* Users1() const { return m_users; }
    QAction* Groups1() const { return m_groups; }
    QAction* PagingCompanies1() const { return m_pagingCompanies; }
    QAction* Contents1() const { return m_contents; }
    QAction* About1() const { return m_about; }

private:
    QAction* add(QMenu* menu, const char* name, const QString& caption, QChar ctrlKey = {},
                 int helpContext = 0);

    QMenu* m_file;
    QMenu* m_shared;
    QMenu* m_help;
    QAction* m_sendNow;
    QAction* m_cancelCall;
    QAction* m_clearMsgQueue;
    QAction* m_sendTestMsg;
    QAction* m_showIPAddress;
    QAction* m_logViewer;
    QAction* m_accessBlockList;
    QAction* m_settings;
    QAction* m_shutDown;
    QAction* m_users;
    QAction* m_groups;
    QAction* m_pagingCompanies;
    QAction* m_contents;
    QAction* m_about;
};
