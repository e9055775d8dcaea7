#include "http/ui/httpoptionspage.h"

#include "foundation/widgettext.h"
#include "http/httpoptionsentry.h"

#include "ui/dialogshowwatcher.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

HttpOptionsPage::HttpOptionsPage(IHttpSettingsHolder& holder, QWidget* parent)
    : QWidget(parent), m_holder(holder)
{
    setObjectName(QStringLiteral("HttpPage"));
    // Each opening of the dialog shows the settings in use afresh.
    new DialogShowWatcher(this, [this] { load(); });
    setProperty("helpContext", HelpTopic);

    auto* box = new QGroupBox(QStringLiteral("HTTP"), this);
    m_enabled = new QCheckBox(QStringLiteral("&Accept Pages Over HTTP"), box);
    m_enabled->setObjectName(QStringLiteral("HttpEnabled"));
    m_port = new QLineEdit(box);
    m_port->setObjectName(QStringLiteral("HttpPort"));
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_port->setMaxLength(5);
    m_port->setFixedWidth(64);
    m_port->setToolTip(QStringLiteral("Port To Listen On For HTTP Clients (Standard: 5680)"));
    m_token = new QLineEdit(box);
    m_token->setObjectName(QStringLiteral("HttpToken"));
    m_token->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    m_token->setToolTip(QStringLiteral("Empty: Requests Need No Token"));
    auto* portLabel = new QLabel(QStringLiteral("HTTP &Port:"), box);
    portLabel->setBuddy(m_port);
    auto* tokenLabel = new QLabel(QStringLiteral("&Token:"), box);
    tokenLabel->setBuddy(m_token);
    auto* note = new QLabel(QStringLiteral("Clients send the token as \"Authorization: Bearer "
                                           "<token>\". The IP Deny/Accept lists apply."),
                            box);
    note->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(portLabel, m_port);
    form->addRow(tokenLabel, m_token);
    auto* column = new QVBoxLayout(box);
    column->addWidget(m_enabled);
    column->addLayout(form);
    column->addWidget(note);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch();
    setFocusProxy(m_port);
    load();
}

void HttpOptionsPage::load()
{
    const HttpOptionsEntry shown = HttpOptionsEntry::of(m_holder.settings());
    m_enabled->setChecked(shown.enabled);
    m_port->setText(WidgetText::fromBytes(shown.port));
    m_token->setText(WidgetText::fromBytes(shown.token));
}

HttpOptionsEntry HttpOptionsPage::entry() const
{
    return HttpOptionsEntry{m_enabled->isChecked(), WidgetText::toBytes(m_port->text()),
                            WidgetText::toBytes(m_token->text())};
}

std::optional<QString> HttpOptionsPage::check() const
{
    return entry().check();
}

std::optional<QString> HttpOptionsPage::apply()
{
    return entry().apply(m_holder);
}
