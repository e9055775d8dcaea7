#include "desktop/tservoptionform.h"

#include "core/serverconfig.h"
#include "desktop/contexthelp.h"
#include "desktop/sharedfilepicker.h"
#include "desktop/widgetprompts.h"
#include "foundation/widgettext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString text(const QByteArray& bytes)
{
    return WidgetText::fromBytes(bytes);
}

QByteArray bytes(const QString& text)
{
    return WidgetText::toBytes(text);
}

QLineEdit* lineEdit(const char* name, int maxLength, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

QComboBox* fixedList(const char* name, const QStringList& items, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->addItems(items);
    return list;
}

QGroupBox* group(const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    return box;
}

} // namespace

TServOptionForm::TServOptionForm(const QString& dataDir, QWidget* parent)
    : QDialog(parent), m_modems(dataDir), m_ownPrompts(std::make_unique<WidgetPrompts>(this)),
      m_prompts(m_ownPrompts.get())
{
    setObjectName(QStringLiteral("ServOptionForm"));
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" Options"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(createGeneralPage(), QStringLiteral("&General"));
    m_pages->addTab(createModemPage(), QStringLiteral("&Modem Settings"));
    m_pages->addTab(createSharedPage(), QStringLiteral("&Shared Directories"));
    m_pages->addTab(createIPPage(), QStringLiteral("&IP Deny/Accept"));
    // All four page tabs in view: the dialog is as wide as they need.
    m_pages->tabBar()->setUsesScrollButtons(false);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    help->setObjectName(QStringLiteral("BitBtn3"));
    connect(ok, &QPushButton::clicked, this, &TServOptionForm::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, &TServOptionForm::BitBtn3Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The modem types of Modems.Dat, in file order; the speed list and the other lists start
    // at COM2, 600 and no flow control until a type or the configuration fills them.
    for (const QByteArray& name : m_modems.names())
        m_modemList->addItem(text(name));
    m_commPort->setCurrentIndex(1);
    m_commSpeed->setCurrentIndex(2);
    m_flowControl->setCurrentIndex(0);
    if (m_modemList->count() == 0)
        m_modemList->addItem(text(ModemDefinitions::genericModemName()));
    m_modemList->setCurrentIndex(0);
    m_selectedModem = 0;
    ModemListChange();
    // A choice from the list re-reads the chosen type's values, also when the operator picks
    // the entry already shown (to undo changes to its values); so does typing. Typed text
    // selects the entry it spells exactly, or none.
    connect(m_modemList, &QComboBox::activated, this, [this](int index) {
        m_selectedModem = index;
        ModemListChange();
    });
    connect(m_modemList->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        m_selectedModem = m_modemList->findText(typed, Qt::MatchExactly);
        ModemListChange();
    });
}

TServOptionForm::~TServOptionForm() = default;

QWidget* TServOptionForm::createGeneralPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("GeneralPage"));
    ContextHelp::setHelpContext(page, helpTopic(GeneralPage));

    auto* que = group(QStringLiteral("Que Options"), page);
    m_queTime = lineEdit("QueTime", 0, que);
    // Up to three digits; blanks allowed.
    m_queTime->setInputMask(QStringLiteral("999"));
    m_queTime->setFixedWidth(48);
    auto* queLabel = new QLabel(QStringLiteral("Check Message &Que Every "), que);
    queLabel->setBuddy(m_queTime);
    auto* queRow = new QHBoxLayout(que);
    queRow->addWidget(queLabel);
    queRow->addWidget(m_queTime);
    queRow->addWidget(new QLabel(QStringLiteral("Minutes"), que));
    queRow->addStretch();

    auto* tcp = group(QStringLiteral("TCP/IP"), page);
    m_port = lineEdit("Port", TServerConfig::PortCapacity, tcp);
    m_port->setToolTip(QStringLiteral("Port To Listen On For Incomming Pages"));
    auto* tcpForm = new QFormLayout(tcp);
    tcpForm->addRow(QStringLiteral("&TCP/IP Listing Port:"), m_port);

    auto* options = group(QStringLiteral("Options"), page);
    m_systemTray = new QCheckBox(QStringLiteral("&Run Application In System Tray"), options);
    m_systemTray->setObjectName(QStringLiteral("SystemTray"));
    m_logging = new QCheckBox(QStringLiteral("Enable Transaction &Logging"), options);
    m_logging->setObjectName(QStringLiteral("Logging"));
    auto* optionsColumn = new QVBoxLayout(options);
    optionsColumn->addWidget(m_systemTray);
    optionsColumn->addWidget(m_logging);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(que);
    layout->addWidget(tcp);
    layout->addWidget(options);
    layout->addStretch();
    return page;
}

QWidget* TServOptionForm::createModemPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ModemPage"));
    ContextHelp::setHelpContext(page, helpTopic(ModemPage));

    auto* modem = group(QStringLiteral("Modem"), page);
    m_modemList = new QComboBox(modem);
    m_modemList->setObjectName(QStringLiteral("ModemList"));
    m_modemList->setEditable(true);
    m_modemList->setInsertPolicy(QComboBox::NoInsert);
    m_modemList->lineEdit()->setMaxLength(TServerConfig::ModemTypeCapacity);
    m_initStrin = lineEdit("InitStrin", TServerConfig::InitStringCapacity, modem);
    m_commPort = fixedList("CommPort",
                           {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                            QStringLiteral("COM4")},
                           modem);
    QStringList speeds;
    for (const QByteArray& speed : ModemDefinitions::speedList())
        speeds.append(text(speed));
    m_commSpeed = fixedList("CommSpeed", speeds, modem);
    m_flowControl = fixedList("FlowControl",
                              {QStringLiteral("None"), QStringLiteral("Hardware"),
                               QStringLiteral("Software"), QStringLiteral("Both")},
                              modem);
    auto* form = new QFormLayout(modem);
    form->addRow(QStringLiteral("&Modem Type:"), m_modemList);
    form->addRow(QStringLiteral("&Init. String:"), m_initStrin);
    form->addRow(QStringLiteral("&ComPort:"), m_commPort);
    form->addRow(QStringLiteral("&Speed:"), m_commSpeed);
    form->addRow(QStringLiteral("&Flow Control:"), m_flowControl);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(modem);
    layout->addStretch();
    return page;
}

QWidget* TServOptionForm::createSharedPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SharedPage"));
    ContextHelp::setHelpContext(page, helpTopic(SharedPage));

    auto* shared = group(QStringLiteral("Shared Lists"), page);
    m_sUser = lineEdit("sUser", TServerConfig::FileCapacity, shared);
    m_sGroup = lineEdit("sGroup", TServerConfig::FileCapacity, shared);
    const QIcon folder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    auto* dir3 = new QPushButton(folder, QString(), shared);
    dir3->setObjectName(QStringLiteral("Dir3"));
    auto* dir4 = new QPushButton(folder, QString(), shared);
    dir4->setObjectName(QStringLiteral("Dir4"));
    connect(dir3, &QPushButton::clicked, this, &TServOptionForm::Dir3Click);
    connect(dir4, &QPushButton::clicked, this, &TServOptionForm::Dir4Click);
    auto* userRow = new QHBoxLayout;
    userRow->addWidget(m_sUser);
    userRow->addWidget(dir3);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(m_sGroup);
    groupRow->addWidget(dir4);
    auto* form = new QFormLayout(shared);
    auto* userLabel = new QLabel(QStringLiteral("&User List:"), shared);
    userLabel->setBuddy(m_sUser);
    auto* groupLabel = new QLabel(QStringLiteral("&Group Lists:"), shared);
    groupLabel->setBuddy(m_sGroup);
    form->addRow(userLabel, userRow);
    form->addRow(groupLabel, groupRow);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(shared);
    layout->addStretch();
    return page;
}

QWidget* TServOptionForm::createIPPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("IPPage"));
    ContextHelp::setHelpContext(page, helpTopic(IPPage));
    const QString note =
        QStringLiteral("List all IP's that have access to the server, seperated by a space.");

    auto* layout = new QVBoxLayout(page);
    auto addList = [&](const QString& title, const char* name) {
        auto* box = group(title, page);
        auto* edit = lineEdit(name, 0, box);
        auto* column = new QVBoxLayout(box);
        column->addWidget(edit);
        auto* label = new QLabel(note, box);
        label->setWordWrap(true);
        column->addWidget(label);
        layout->addWidget(box);
        return edit;
    };
    m_ipAccept = addList(QStringLiteral("Accept IP's From"), "IPAccept");
    m_ipDeny = addList(QStringLiteral("Deny IP's From"), "IPDeny");
    layout->addStretch();
    return page;
}

int TServOptionForm::helpTopic(Page page)
{
    switch (page) {
    case GeneralPage:
        return 101;
    case ModemPage:
        return 102;
    case IPPage:
        return 103;
    case SharedPage:
        return 104;
    }
    return 0;
}

void TServOptionForm::addPage(QWidget* page, const QString& title, PageCheck check)
{
    m_pages->addTab(page, title);
    if (check)
        m_pageChecks.append({page, std::move(check)});
}

void TServOptionForm::refuse(QWidget* page, QWidget* focus, const QString& why)
{
    m_pages->setCurrentWidget(page);
    m_prompts->beep();
    m_prompts->showMessage(IOperatorPrompts::BoxKind::Warning, why);
    focus->setFocus();
}

std::optional<std::pair<QWidget*, QString>> TServOptionForm::unstorableEntry() const
{
    // Server.Dat keeps one byte per character: a character beyond Latin-1 would be stored as
    // "?" (an init string the modem does not know, an IP entry that names no address).
    const std::pair<QWidget*, QString> entries[] = {
        {m_modemList, m_modemList->currentText()},
        {m_initStrin, m_initStrin->text()},
        {m_port, m_port->text()},
        {m_ipAccept, m_ipAccept->text()},
        {m_ipDeny, m_ipDeny->text()},
    };
    for (const auto& [field, typed] : entries) {
        if (!WidgetText::fitsBytes(typed))
            return std::pair{field,
                             QStringLiteral("Invalid Entry Specified!\r\nSettings Can Only Hold "
                                            "Western European (Latin-1) Characters.")};
    }
    return std::nullopt;
}

void TServOptionForm::BitBtn1Click()
{
    // Entries that cannot be stored are caught while the operator can still put them right:
    // once the dialog has closed, the other settings are saved and applied.
    if (const auto unstorable = unstorableEntry()) {
        QWidget* page = unstorable->first;
        while (page && m_pages->indexOf(page) < 0)
            page = page->parentWidget();
        refuse(page ? page : m_pages->currentWidget(), unstorable->first, unstorable->second);
        return;
    }
    for (const auto& [page, check] : std::as_const(m_pageChecks)) {
        if (const std::optional<QString> refused = check()) {
            refuse(page, page, *refused);
            return;
        }
    }
    accept();
}

void TServOptionForm::showFirstPage()
{
    m_pages->setCurrentIndex(GeneralPage);
}

void TServOptionForm::selectModemType(const QByteArray& modemType)
{
    int index = 0;
    const QString wanted = text(modemType);
    for (int i = 0; !wanted.isEmpty() && i < m_modemList->count(); ++i) {
        if (m_modemList->itemText(i).contains(wanted, Qt::CaseSensitive)) {
            index = i;
            break;
        }
    }
    m_modemList->setCurrentIndex(index);
    // Also when the index did not change but typed text had replaced the entry's name.
    m_modemList->setEditText(m_modemList->itemText(index));
    m_selectedModem = index;
}

void TServOptionForm::ModemListChange()
{
    if (m_selectedModem < 0 || m_selectedModem >= m_modemList->count())
        return;
    const auto settings = m_modems.settingsOf(bytes(m_modemList->itemText(m_selectedModem)));
    if (!settings)
        return;
    m_initStrin->setText(text(settings->InitString));
    m_commSpeed->setCurrentIndex(ModemDefinitions::speedIndex(settings->Speed));
}

void TServOptionForm::setValues(const OptionValues& values)
{
    m_queTime->setText(text(values.QueTime));
    m_systemTray->setChecked(values.SystemTray);
    m_logging->setChecked(values.Logging);
    m_initStrin->setText(text(values.InitString));
    m_commPort->setCurrentIndex(values.ComPort);
    m_commSpeed->setCurrentIndex(values.ComPortSpeed);
    m_flowControl->setCurrentIndex(values.FlowControl);
    m_sUser->setText(WidgetText::fromFileName(values.UserFile));
    m_sGroup->setText(WidgetText::fromFileName(values.GroupFile));
    m_port->setText(text(values.Port));
    m_ipAccept->setText(text(values.IPAccept));
    m_ipDeny->setText(text(values.IPDeny));
}

bool TServOptionForm::execute()
{
    return exec() == QDialog::Accepted;
}

OptionValues TServOptionForm::values() const
{
    OptionValues values;
    values.QueTime = bytes(m_queTime->text());
    values.SystemTray = m_systemTray->isChecked();
    values.Logging = m_logging->isChecked();
    values.ModemType = bytes(m_modemList->currentText());
    values.InitString = bytes(m_initStrin->text());
    values.ComPort = m_commPort->currentIndex();
    values.ComPortSpeed = m_commSpeed->currentIndex();
    values.FlowControl = m_flowControl->currentIndex();
    values.UserFile = WidgetText::toFileName(m_sUser->text());
    values.GroupFile = WidgetText::toFileName(m_sGroup->text());
    values.Port = bytes(m_port->text());
    values.IPAccept = bytes(m_ipAccept->text());
    values.IPDeny = bytes(m_ipDeny->text());
    return values;
}

namespace {

const QStringList& sharedFileFilters()
{
    static const QStringList filters{QStringLiteral("All User Files (*.usr)"),
                                     QStringLiteral("All Group Files (*.grp)"),
                                     QStringLiteral("All Files (*)")};
    return filters;
}

QString folderOf(const QString& path)
{
    const QFileInfo info(path);
    return info.absoluteDir().exists() ? info.absolutePath() : QString();
}

} // namespace

void TServOptionForm::Dir3Click()
{
    if (const auto path =
            pickFile({QStringLiteral("Location Of Shared User File"), sharedFileFilters(), 0,
                      QStringLiteral("sUsers.usr"), folderOf(m_sUser->text())}))
        m_sUser->setText(*path);
}

void TServOptionForm::Dir4Click()
{
    if (const auto path =
            pickFile({QStringLiteral("Location Of Shared Group File"), sharedFileFilters(), 1,
                      QStringLiteral("sGroups.grp"), folderOf(m_sGroup->text())}))
        m_sGroup->setText(*path);
}

void TServOptionForm::BitBtn3Click()
{
    const int index = m_pages->currentIndex();
    const int topic = index <= IPPage ? helpTopic(static_cast<Page>(index))
                                      : ContextHelp::topicFor(m_pages->currentWidget());
    if (m_helpOpener)
        m_helpOpener(topic);
}

std::optional<QString> TServOptionForm::pickFile(const FilePickRequest& request)
{
    return m_filePicker ? m_filePicker(request) : SharedFilePicker::pick(this, request);
}
