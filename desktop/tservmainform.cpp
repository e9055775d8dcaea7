#include "desktop/tservmainform.h"

#include "core/configfile.h"
#include "core/serverstate.h"
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
#include "foundation/operatorprompts.h"
#include "http/ui/httpoptionspage.h"
#include "lines/ui/linespage.h"
#include "pages/ui/pagekeepingpage.h"
#include "runtime/httpbridge.h"
#include "runtime/pagekeeping.h"
#include "runtime/serverruntime.h"
#include "runtime/snppbridge.h"
#include "snpp/ui/snppoptionspage.h"
#include "ui/programicon.h"
#include "ui/ttrayicon.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

TServMainForm::TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts, QWidget* parent)
    : TServMainForm(runtime, prompts, TrayShellChoice{nullptr}, parent)
{
}

TServMainForm::TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts,
                             ITrayShell& trayShell, QWidget* parent)
    : TServMainForm(runtime, prompts, TrayShellChoice{&trayShell}, parent)
{
}

TServMainForm::TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts,
                             TrayShellChoice tray, QWidget* parent)
    : QMainWindow(parent), m_runtime(runtime), m_state(runtime.state()), m_prompts(prompts),
      m_mdiArea(new QMdiArea(this)), m_menu(new MainMenu(menuBar(), this)),
      m_panels(new StatusPanels(statusBar(), this)),
      m_optionForm(new TServOptionForm(m_state.dataDir(), this)),
      m_connectionLog(new TConnectionLogForm(QStringLiteral("Connection Log"), 13)),
      m_settings(m_state, *m_optionForm, prompts), m_tiler(new LogWindowTiler(m_mdiArea)),
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

    m_panels->setText(StatusPanels::Clock, m_state.clockText());
    m_panels->showQueued(m_state.queuedCount());
    m_panels->showNextCheck(m_state.nextCheck());
    m_panels->setText(StatusPanels::Progress, m_state.progress());
    connect(&m_state, &ServerState::clockTextChanged, m_panels,
            [this](const QString& text) { m_panels->setText(StatusPanels::Clock, text); });
    connect(&m_state, &ServerState::queuedCountChanged, m_panels, &StatusPanels::showQueued);
    connect(&m_state, &ServerState::nextCheckChanged, m_panels, &StatusPanels::showNextCheck);
    connect(&m_state, &ServerState::progressChanged, m_panels,
            [this](const QString& text) { m_panels->setText(StatusPanels::Progress, text); });

    m_connectionLog->setObjectName(QStringLiteral("ConnectionLogForm"));
    m_connectionLog->setLines(m_state.connectionLog());
    connect(&m_state, &ServerState::connectionLogAdded, m_connectionLog,
            &TConnectionLogForm::addLine);
    connect(&m_state, &ServerState::connectionLogCleared, m_connectionLog,
            &TConnectionLogForm::clear);
    addLogWindow(m_connectionLog)->show();

    connectMenu();
    m_tray = new MainWindowTray(
        this, tray.shell, [this] { ShutDown1Click(); },
        [this](const QString& message) { m_prompts.showError(message); });
    connect(&TrayIcon1(), &TTrayIcon::OnDblClick, this, &TServMainForm::TrayIcon1DblClick);
    m_snppPage = new SnppOptionsPage(m_runtime.snpp().gateway());
    m_optionForm->setPrompts(m_prompts);
    m_optionForm->addPage(m_snppPage, QStringLiteral("S&NPP Gateway"),
                          [this] { return m_snppPage->check(); });
    m_pagesPage = new PageKeepingPage(m_state.dataDir());
    m_optionForm->addPage(m_pagesPage, QStringLiteral("&Page Keeping"),
                          [this] { return m_pagesPage->check(); });
    m_httpPage = new HttpOptionsPage(m_runtime.http());
    m_optionForm->addPage(m_httpPage, QStringLiteral("&HTTP"),
                          [this] { return m_httpPage->check(); });
    m_linesPage = new LinesPage(m_state.dataDir());
    m_optionForm->addPage(m_linesPage, QStringLiteral("&Delivery Lines"),
                          [this] { return m_linesPage->check(); });
    // Every confirmed settings dialog applies the tray setting and restarts the listener,
    // whether or not the port changed, and applies the SNPP gateway's, Pages.Dat's and the HTTP
    // pages.
    m_settings.setOnConfirmed([this] {
        m_tray->setActive(m_state.config().SystemTray);
        m_runtime.listen();
        if (const std::optional<QString> failure = m_snppPage->apply())
            m_prompts.showError(*failure);
        // Pages.Dat stored from its page is followed at once, as a reload follows it.
        const PageKeepingOptions::Applied pages = m_pagesPage->apply(m_prompts);
        if (pages.saved)
            m_runtime.pages().loadSettings();
        if (pages.failure)
            m_prompts.showError(*pages.failure);
        if (const std::optional<QString> failure = m_httpPage->apply())
            m_prompts.showError(*failure);
        // So is Lines.Dat: the routes count from the next call on.
        const LinesOptions::Applied lines = m_linesPage->apply(m_prompts);
        if (lines.saved)
            m_runtime.loadRoutes();
        if (lines.failure)
            m_prompts.showError(*lines.failure);
    });

    connect(&m_runtime, &ServerRuntime::callMenuChanged, this,
            [this](bool cancelCallEnabled, bool sendNowEnabled) {
                m_menu->CancelCall1()->setEnabled(cancelCallEnabled);
                m_menu->SendNow1()->setEnabled(sendNowEnabled);
            });
    // A close requested during a run waits for the run's end; queued, so the run has returned
    // before the window goes.
    connect(&m_runtime, &ServerRuntime::closeDue, this, &QWidget::close, Qt::QueuedConnection);
    // The paging clients' last replies, "421" after the command each had in hand, reach them
    // before the program ends; a client that does not take them is dropped after a moment.
    connect(&m_runtime, &ServerRuntime::stopped, this, &TServMainForm::applicationExitRequested);

    m_sharedLists = new SharedListCommands(m_state.dataDir(), m_prompts, this);
    m_help->follow(this);
    m_sharedLists->setHelpOpener([this](int topic) { m_help->showTopic(topic); });
    m_optionForm->setHelpOpener([this](int topic) { m_help->showTopic(topic); });

    // Timer1 runs from the window's creation.
    m_runtime.startTicking();
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
    m_transmitLog->setLines(m_state.transmitLog());
    connect(&m_state, &ServerState::transmitLogAdded, m_transmitLog, &TConnectionLogForm::addLine);
    connect(&m_state, &ServerState::transmitLogCleared, m_transmitLog, &TConnectionLogForm::clear);
    addLogWindow(m_transmitLog)->show();
    m_tiler->tile();

    // The settings are the desktop's to load: without a usable Server.Dat the operator fills
    // in the settings dialog first.
    TServerConfig config = m_state.config();
    if (ConfigFile::LoadConfig(m_state.dataDir(), config, m_prompts)) {
        m_state.setConfig(config);
    } else {
        m_state.setConfig(TServerConfig::defaults(m_state.dataDir()));
        if (!m_settings.run()) {
            emit applicationExitRequested();
            return;
        }
    }
    // Without its port the server still delivers its queue; the error box has said why.
    m_runtime.start(ServerRuntime::WithoutListener::Run);
}

bool TServMainForm::FormCloseQuery()
{
    return m_runtime.closeQuery();
}

void TServMainForm::FormClose()
{
    // applicationExitRequested() follows once the paging clients have their last replies.
    m_runtime.close();
}

void TServMainForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TServMainForm::Timer1Timer()
{
    m_runtime.tick();
}

void TServMainForm::SendNow1Click()
{
    m_runtime.sendNow();
}

void TServMainForm::CancelCall1Click()
{
    m_runtime.cancelCall();
}

void TServMainForm::ClearMsgQueue1Click()
{
    m_runtime.clearQueue();
}

void TServMainForm::SendTestMsg1Click()
{
    m_runtime.sendTestPage();
}

void TServMainForm::ShowIPAddress1Click()
{
    m_runtime.showIpAddress();
}

void TServMainForm::LogViewer1Click()
{
    // Each use opens another viewer with its own copy of the log.
    TLogViewer::open(m_state.dataDir(), this);
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
    m_anblForm = new TANBLForm(m_state);
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
    if (!m_settings.run())
        emit applicationExitRequested();
}

void TServMainForm::ShutDown1Click()
{
    close();
}

void TServMainForm::Users1Click()
{
    m_sharedLists->Users1Click(m_state.config().UserFile);
}

void TServMainForm::Groups1Click()
{
    m_sharedLists->Groups1Click(m_state.config().UserFile, m_state.config().GroupFile);
}

void TServMainForm::PagingCompanies1Click()
{
    m_sharedLists->PagingCompanies1Click(m_state.config().UserFile);
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
