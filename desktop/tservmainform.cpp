#include "desktop/tservmainform.h"

#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/configfile.h"
#include "desktop/contexthelp.h"
#include "desktop/helpwindow.h"
#include "desktop/logwindowtiler.h"
#include "desktop/mainmenu.h"
#include "desktop/mainwindowtray.h"
#include "desktop/mdititlebar.h"
#include "desktop/statuspanels.h"
#include "desktop/taboutbox.h"
#include "desktop/tanblform.h"
#include "desktop/tconnectionlogform.h"
#include "desktop/tlogviewer.h"
#include "desktop/tservoptionform.h"
#include "directories/ui/sharedlistcommands.h"
#include "foundation/datetimetext.h"
#include "foundation/operatorprompts.h"
#include "intake/keptqueue.h"
#include "intake/queuecommands.h"
#include "queue/messagequeue.h"
#include "runtime/servercore.h"
#include "runtime/snppbridge.h"
#include "snpp/ui/snppoptionspage.h"
#include "ui/programicon.h"
#include "ui/ttrayicon.h"
#include "workstation/serverlistener.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

TServMainForm::TServMainForm(ServerCore& core, IOperatorPrompts& prompts, QWidget* parent)
    : TServMainForm(core, prompts, TrayShellChoice{nullptr}, parent)
{
}

TServMainForm::TServMainForm(ServerCore& core, IOperatorPrompts& prompts, ITrayShell& trayShell,
                             QWidget* parent)
    : TServMainForm(core, prompts, TrayShellChoice{&trayShell}, parent)
{
}

TServMainForm::TServMainForm(ServerCore& core, IOperatorPrompts& prompts, TrayShellChoice tray,
                             QWidget* parent)
    : QMainWindow(parent), m_core(core), m_prompts(prompts), m_mdiArea(new QMdiArea(this)),
      m_menu(new MainMenu(menuBar(), this)), m_panels(new StatusPanels(statusBar(), this)),
      m_optionForm(new TServOptionForm(core.dataDir(), this)),
      m_connectionLog(new TConnectionLogForm(QStringLiteral("Connection Log"), 13)),
      m_timer(new QTimer(this)), m_countdown(core, core, core),
      m_settings(core, *m_optionForm, prompts), m_tiler(new LogWindowTiler(m_mdiArea)),
      m_help(new HelpWindow(this))
{
    setObjectName(QStringLiteral("ServMainForm"));
    setWindowTitle(QStringLiteral("Zelkor LAN Server Ver. 1.0"));
    // The program's icon; the windows inside the frame show it too.
    setWindowIcon(ProgramIcon::icon());
    resize(435, 300);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_mdiArea->setBackground(Qt::white);
    setCentralWidget(m_mdiArea);

    m_panels->setText(StatusPanels::Clock, m_core.clockText());
    m_panels->showQueued(m_core.queuedCount());
    m_panels->showNextCheck(m_core.nextCheck());
    m_panels->setText(StatusPanels::Progress, m_core.progress());
    connect(&m_core, &ServerCore::clockTextChanged, m_panels,
            [this](const QString& text) { m_panels->setText(StatusPanels::Clock, text); });
    connect(&m_core, &ServerCore::queuedCountChanged, m_panels, &StatusPanels::showQueued);
    connect(&m_core, &ServerCore::nextCheckChanged, m_panels, &StatusPanels::showNextCheck);
    connect(&m_core, &ServerCore::progressChanged, m_panels,
            [this](const QString& text) { m_panels->setText(StatusPanels::Progress, text); });

    m_connectionLog->setObjectName(QStringLiteral("ConnectionLogForm"));
    m_connectionLog->setLines(m_core.connectionLog());
    connect(&m_core, &ServerCore::connectionLogAdded, m_connectionLog,
            &TConnectionLogForm::addLine);
    connect(&m_core, &ServerCore::connectionLogCleared, m_connectionLog,
            &TConnectionLogForm::clear);
    addLogWindow(m_connectionLog)->show();

    connectMenu();
    m_tray = new MainWindowTray(
        this, tray.shell, [this] { ShutDown1Click(); },
        [this](const QString& message) { m_prompts.showError(message); });
    connect(&TrayIcon1(), &TTrayIcon::OnDblClick, this, &TServMainForm::TrayIcon1DblClick);
    m_snpp = new SnppBridge(m_core, m_core, m_core, m_prompts, this);
    m_snppPage = new SnppOptionsPage(m_snpp->gateway());
    m_optionForm->setPrompts(m_prompts);
    m_optionForm->addPage(m_snppPage, QStringLiteral("S&NPP Gateway"),
                          [this] { return m_snppPage->check(); });
    // Every confirmed settings dialog applies the tray setting and restarts the listener,
    // whether or not the port changed, and applies the SNPP gateway's page.
    m_settings.setOnConfirmed([this] {
        m_tray->setActive(m_core.config().SystemTray);
        m_core.listener().restartListening();
        if (const std::optional<QString> failure = m_snppPage->apply())
            m_prompts.showError(*failure);
    });

    m_calls = new CallControl(m_core, m_core, m_core, m_prompts, this);
    connect(&m_calls->processor(), &CallProcessor::callMenuChanged, this,
            [this](bool cancelCallEnabled, bool sendNowEnabled) {
                m_menu->CancelCall1()->setEnabled(cancelCallEnabled);
                m_menu->SendNow1()->setEnabled(sendNowEnabled);
            });
    m_countdown.setOnAutomaticRun([this] { m_calls->automaticRun(); });
    // A close requested during a run waits for the run's end; queued, so the run has returned
    // before the window goes.
    connect(m_calls, &CallControl::closeDue, this, &QWidget::close, Qt::QueuedConnection);

    m_sharedLists = new SharedListCommands(m_core.dataDir(), m_prompts, this);
    m_help->follow(this);
    m_sharedLists->setHelpOpener([this](int topic) { m_help->showTopic(topic); });
    m_optionForm->setHelpOpener([this](int topic) { m_help->showTopic(topic); });

    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TServMainForm::Timer1Timer);
    m_timer->start();
}

TServMainForm::~TServMainForm() = default;

void TServMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_tray->windowStateChanged(isMinimized());
}

void TServMainForm::TrayIcon1DblClick()
{
    if (!isMinimized() && !m_tray->TrayIcon1().Minimized())
        return;
    showNormal();
    raise();
    activateWindow();
}

QMdiSubWindow* TServMainForm::addLogWindow(TConnectionLogForm* form)
{
    // Log windows can be moved, sized and minimized, but not closed: the server writes to them
    // for as long as it runs.
    QMdiSubWindow* window = m_mdiArea->addSubWindow(form, Qt::SubWindow | Qt::WindowTitleHint |
                                                              Qt::WindowMinMaxButtonsHint);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(300, 110);
    m_tiler->add(window);
    return window;
}

void TServMainForm::connectMenu()
{
    const MainMenu& m = *m_menu;
    connect(m.SendNow1(), &QAction::triggered, this, &TServMainForm::SendNow1Click);
    connect(m.CancelCall1(), &QAction::triggered, this, &TServMainForm::CancelCall1Click);
    connect(m.ClearMsgQueue1(), &QAction::triggered, this, &TServMainForm::ClearMsgQueue1Click);
    connect(m.SendTestMsg1(), &QAction::triggered, this, &TServMainForm::SendTestMsg1Click);
    connect(m.ShowIPAddress1(), &QAction::triggered, this, &TServMainForm::ShowIPAddress1Click);
    connect(m.LogViewer1(), &QAction::triggered, this, &TServMainForm::LogViewer1Click);
    connect(m.AccessBlockList1(), &QAction::triggered, this, &TServMainForm::AccessBlockList1Click);
    connect(m.Settings1(), &QAction::triggered, this, &TServMainForm::Settings1Click);
    connect(m.ShutDown1(), &QAction::triggered, this, &TServMainForm::ShutDown1Click);
    connect(m.Users1(), &QAction::triggered, this, &TServMainForm::Users1Click);
    connect(m.Groups1(), &QAction::triggered, this, &TServMainForm::Groups1Click);
    connect(m.PagingCompanies1(), &QAction::triggered, this, &TServMainForm::PagingCompanies1Click);
    connect(m.Contents1(), &QAction::triggered, this, &TServMainForm::Contents1Click);
    connect(m.About1(), &QAction::triggered, this, &TServMainForm::About1Click);
}

void TServMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TServMainForm::FormShow()
{
    m_transmitLog = new TConnectionLogForm(QStringLiteral("Transmition Log"), 12);
    m_transmitLog->setObjectName(QStringLiteral("TransmitLog"));
    m_transmitLog->setLines(m_core.transmitLog());
    connect(&m_core, &ServerCore::transmitLogAdded, m_transmitLog, &TConnectionLogForm::addLine);
    connect(&m_core, &ServerCore::transmitLogCleared, m_transmitLog, &TConnectionLogForm::clear);
    addLogWindow(m_transmitLog)->show();
    m_tiler->tile();

    TServerConfig config = m_core.config();
    if (ConfigFile::LoadConfig(m_core.dataDir(), config, m_prompts)) {
        m_core.setConfig(config);
    } else {
        m_core.setConfig(TServerConfig::defaults(m_core.dataDir()));
        if (!m_settings.Settings1Click()) {
            emit applicationExitRequested();
            return;
        }
    }
    // A queue file still here was left by a run that ended without its close (killed, crashed,
    // power lost): its pages were accepted, so they are kept and go out at the next check.
    KeptQueue::takeOver(m_core, m_core);
    m_core.setNextCheck(m_core.config().QueTime);
    m_core.loadAllowList();
    m_core.setClockText(DateTimeText::clock(m_core.now()));
    m_core.listener().startListening();
    m_snpp->start();
}

bool TServMainForm::FormCloseQuery()
{
    return m_calls->FormCloseQuery([this] {
        m_core.listener().stopListening();
        m_snpp->stop();
    });
}

void TServMainForm::FormClose()
{
    m_core.listener().stopListening();
    m_snpp->stop();
    m_core.queue().clear();
    m_core.setAllowList({});
}

void TServMainForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    // The paging clients' last replies, "421" after the command each had in hand, reach them
    // before the program ends; a client that does not take them is dropped after a moment.
    if (m_snpp->isDrained()) {
        emit applicationExitRequested();
        return;
    }
    connect(m_snpp, &SnppBridge::drained, this, &TServMainForm::applicationExitRequested,
            Qt::SingleShotConnection);
}

void TServMainForm::Timer1Timer()
{
    m_countdown.Timer1Timer(m_core.now());
}

void TServMainForm::SendNow1Click()
{
    m_calls->SendNow1Click();
}

void TServMainForm::CancelCall1Click()
{
    m_calls->CancelCall1Click();
}

void TServMainForm::ClearMsgQueue1Click()
{
    QueueCommands(m_core, m_core, m_prompts).clearMessageQueue();
}

void TServMainForm::SendTestMsg1Click()
{
    QueueCommands(m_core, m_core, m_prompts).sendTestMessage();
}

void TServMainForm::ShowIPAddress1Click()
{
    m_core.listener().ShowIPAddress1Click();
}

void TServMainForm::LogViewer1Click()
{
    // Each use opens another viewer with its own copy of the log.
    TLogViewer::open(m_core.dataDir(), this);
}

TANBLForm* TServMainForm::ANBLForm() const
{
    return m_anblForm;
}

void TServMainForm::AccessBlockList1Click()
{
    // One dialog at a time; the reference clears itself when the dialog is freed.
    if (m_anblForm)
        return;
    m_anblForm = new TANBLForm(m_core);
    QMdiSubWindow* frame = m_mdiArea->addSubWindow(m_anblForm);
    frame->resize(246, 187);
    // As wide as its caption needs, as far as the frame has room.
    MdiTitleBar::fitCaption(frame, qMax(frame->width(), m_mdiArea->viewport()->width()));
    frame->move(qMax(0, (m_mdiArea->width() - frame->width()) / 2),
                qMax(0, (m_mdiArea->height() - frame->height()) / 2));
    frame->show();
}

void TServMainForm::Settings1Click()
{
    if (!m_settings.Settings1Click())
        emit applicationExitRequested();
}

void TServMainForm::ShutDown1Click()
{
    close();
}

void TServMainForm::Users1Click()
{
    m_sharedLists->Users1Click(m_core.config().UserFile);
}

void TServMainForm::Groups1Click()
{
    m_sharedLists->Groups1Click(m_core.config().UserFile, m_core.config().GroupFile);
}

void TServMainForm::PagingCompanies1Click()
{
    m_sharedLists->PagingCompanies1Click(m_core.config().UserFile);
}

void TServMainForm::Contents1Click()
{
    m_help->showContents();
}

void TServMainForm::About1Click()
{
    if (m_aboutBox)
        return;
    m_aboutBox = new TAboutBox(this);
    m_aboutBox->Version1()->setText(QStringLiteral("Ver. 1.0"));
    m_aboutBox->show();
}

TAboutBox* TServMainForm::aboutBox() const
{
    return m_aboutBox.data();
}
