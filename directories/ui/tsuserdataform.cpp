#include "directories/ui/tsuserdataform.h"

#include "directories/companydirectory.h"
#include "directories/directorychecks.h"
#include "directories/shareduserfile.h"
#include "directories/ui/digitkeyfilter.h"
#include "foundation/widgettext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TsUserDataForm::TsUserDataForm(IOperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_name(new QLineEdit), m_pin(new QLineEdit),
      m_providers(new QComboBox), m_ok(new QPushButton(QStringLiteral("&OK"))),
      m_cancel(new QPushButton(QStringLiteral("&Cancel"))),
      m_help(new QPushButton(QStringLiteral("&Help")))
{
    m_name->setObjectName(QStringLiteral("Name"));
    m_name->setToolTip(QStringLiteral("Enter Users Name"));
    m_pin->setObjectName(QStringLiteral("PIN"));
    m_pin->setMaxLength(32767);
    new DigitKeyFilter(m_pin, m_prompts);
    m_providers->setObjectName(QStringLiteral("Providers"));
    m_proLab = DialogParts::label(QStringLiteral("Provider:"), m_providers, true, "ProLab");

    m_ok->setObjectName(QStringLiteral("OKBut"));
    m_ok->setDefault(true);
    m_ok->setToolTip(QStringLiteral("Accsept And Exit"));
    m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setToolTip(QStringLiteral("Cancel Changes And Exit"));
    m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_help->setObjectName(QStringLiteral("BitBtn1"));
    m_help->setToolTip(QStringLiteral("Help"));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    connect(m_ok, &QPushButton::clicked, this, &TsUserDataForm::OKButClick);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, &TsUserDataForm::BitBtn1Click);

    auto* fields = new QFormLayout;
    fields->addRow(DialogParts::label(QStringLiteral("Name:"), m_name, true), m_name);
    fields->addRow(DialogParts::label(QStringLiteral("PIN:"), m_pin, true), m_pin);
    fields->addRow(m_proLab, m_providers);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);
    DialogParts::setTabOrder({m_name, m_pin, m_providers, m_ok, m_cancel, m_help});
    DialogParts::setUpDialog(this, "sUserDataForm", QStringLiteral("User Data"), 30);
}

bool TsUserDataForm::execute(SharedUser& user, const QString& directory)
{
    m_name->setText(WidgetText::fromBytes(user.Name));
    m_pin->setText(WidgetText::fromBytes(user.PIN));
    setDirectory(directory);
    LoadProviders();
    selectProvider(user.Provider);
    m_name->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    user = this->user();
    return true;
}

void TsUserDataForm::LoadProviders()
{
    m_providerNames = NameList(CompanyDirectory(m_directory).names());
    m_providers->clear();
    for (const QByteArray& name : m_providerNames.names())
        m_providers->addItem(WidgetText::fromBytes(name));
    m_providers->setCurrentIndex(-1);
}

void TsUserDataForm::selectProvider(const QByteArray& provider)
{
    m_providers->setCurrentIndex(
        provider.isEmpty() ? -1 : static_cast<int>(m_providerNames.indexIgnoringCase(provider)));
}

SharedUser TsUserDataForm::user() const
{
    const int provider = m_providers->currentIndex();
    return {WidgetText::toBytes(m_name->text()), WidgetText::toBytes(m_pin->text()),
            provider < 0 ? QByteArray() : m_providerNames.at(provider)};
}

void TsUserDataForm::OKButClick()
{
    // Checked on the typed text: once made bytes, a character the file cannot hold is a "?".
    if (!WidgetText::fitsBytes(m_name->text())) {
        DirectoryChecks::warn(m_prompts, DirectoryChecks::unstorableUserName());
        m_name->setFocus();
        return;
    }
    switch (DirectoryChecks::checkUser(user(), m_prompts)) {
    case DirectoryChecks::Field::None:
        accept();
        return;
    case DirectoryChecks::Field::PIN:
        m_pin->setFocus();
        return;
    case DirectoryChecks::Field::Provider:
        m_providers->setFocus();
        return;
    default:
        m_name->setFocus();
        return;
    }
}

void TsUserDataForm::BitBtn1Click()
{
    if (m_helpOpener)
        m_helpOpener(30);
}
