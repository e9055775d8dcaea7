#include "snpp/ui/snppoptionspage.h"

#include "foundation/widgettext.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "snpp/snppsettings.h"

#include "ui/dialogshowwatcher.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

SnppOptionsPage::SnppOptionsPage(SnppGateway& gateway, QWidget* parent)
    : QWidget(parent), m_gateway(gateway)
{
    setObjectName(QStringLiteral("SnppPage"));
    // Each opening of the dialog shows the settings in use afresh.
    new DialogShowWatcher(this, [this] { load(); });
    setProperty("helpContext", HelpTopic);

    auto* box = new QGroupBox(QStringLiteral("SNPP Gateway"), this);
    m_enabled = new QCheckBox(QStringLiteral("&Accept Pages From SNPP Clients"), box);
    m_enabled->setObjectName(QStringLiteral("SnppEnabled"));
    m_port = new QLineEdit(box);
    m_port->setObjectName(QStringLiteral("SnppPort"));
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_port->setMaxLength(5);
    m_port->setFixedWidth(64);
    m_port->setToolTip(QStringLiteral("Port To Listen On For SNPP Clients (Standard: 444)"));
    auto* portLabel = new QLabel(QStringLiteral("SNPP &Port:"), box);
    portLabel->setBuddy(m_port);
    auto* note = new QLabel(QStringLiteral("Clients page shared users, shared groups or "
                                           "PIN@Company. Ports below 1024 need the right to "
                                           "bind them."),
                            box);
    note->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(portLabel, m_port);
    auto* column = new QVBoxLayout(box);
    column->addWidget(m_enabled);
    column->addLayout(form);
    column->addWidget(note);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch();
    // The page's focus goes to the port, the one entry a refused OK points at.
    setFocusProxy(m_port);
    load();
}

void SnppOptionsPage::load()
{
    const SnppSettings& settings = m_gateway.settings();
    m_enabled->setChecked(settings.enabled);
    m_port->setText(QString::number(settings.port));
}

std::optional<QString> SnppOptionsPage::check() const
{
    if (!m_enabled->isChecked() || SnppSettings::parsePort(WidgetText::toBytes(m_port->text())))
        return std::nullopt;
    return QStringLiteral("'%1' is not a valid SNPP port: enter a number from 1 to 65535")
        .arg(m_port->text());
}

std::optional<QString> SnppOptionsPage::apply()
{
    if (std::optional<QString> refused = check())
        return refused;
    SnppSettings settings = m_gateway.settings();
    settings.enabled = m_enabled->isChecked();
    // A switched-off gateway keeps its port when the one typed is no port.
    if (const std::optional<quint16> port =
            SnppSettings::parsePort(WidgetText::toBytes(m_port->text())))
        settings.port = *port;
    // Unchanged settings keep a listening gateway and its sessions as they are; a gateway that
    // could not listen before tries again.
    if (settings == m_gateway.settings() && settings.enabled == m_gateway.server().isListening())
        return std::nullopt;
    return m_gateway.configure(settings);
}
