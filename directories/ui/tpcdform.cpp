#include "directories/ui/tpcdform.h"

#include "directories/directorychecks.h"
#include "directories/ui/digitkeyfilter.h"
#include "foundation/widgettext.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QComboBox* dropDownList(const char* name, const QList<QByteArray>& items)
{
    auto* list = new QComboBox;
    list->setObjectName(QLatin1String(name));
    for (const QByteArray& item : items)
        list->addItem(WidgetText::fromBytes(item));
    return list;
}

QLineEdit* edit(const char* name)
{
    auto* field = new QLineEdit;
    field->setObjectName(QLatin1String(name));
    return field;
}

} // namespace

TPCDForm::TPCDForm(IOperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_companyName(edit("CompanyName")),
      m_accessNumber(edit("TerminalAccessNum")), m_password(edit("Password")),
      m_parity(dropDownList("Parity", PagingCompany::parityNames())),
      m_stopBits(dropDownList("StopBits", PagingCompany::stopBitsNames())),
      m_dataBits(dropDownList("DataBits", PagingCompany::dataBitsNames())),
      m_length(dropDownList("Length", PagingCompany::lengths())),
      m_ok(new QPushButton(QStringLiteral("&OK"))),
      m_cancel(new QPushButton(QStringLiteral("&Cancel"))),
      m_help(new QPushButton(QStringLiteral("&Help")))
{
    new DigitKeyFilter(m_accessNumber, m_prompts);

    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_help->setObjectName(QStringLiteral("BitBtn3"));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    connect(m_ok, &QPushButton::clicked, this, &TPCDForm::BitBtn1Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, &TPCDForm::BitBtn3Click);

    auto* name = new QHBoxLayout;
    name->addWidget(DialogParts::label(QStringLiteral("&Company Name:"), m_companyName, true));
    name->addWidget(m_companyName, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(name);
    layout->addWidget(createTerminalGroup());
    layout->addLayout(buttons);

    DialogParts::setTabOrder({m_companyName, m_accessNumber, m_parity, m_dataBits, m_stopBits,
                              m_length, m_password, m_ok, m_cancel, m_help});
    DialogParts::setUpDialog(this, "PCDForm", QStringLiteral("Paging Company Data"), 33);
    setCompany(PagingCompany());
}

QGroupBox* TPCDForm::createTerminalGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Terminal Access Information"));
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(group);
    const auto row = [grid](int at, int column, const QString& text, QWidget* control) {
        grid->addWidget(DialogParts::label(text, control, false), at, column);
        grid->addWidget(control, at, column + 1);
    };
    row(0, 0, QStringLiteral("&Access Number:"), m_accessNumber);
    row(0, 2, QStringLiteral("&Password:"), m_password);
    row(1, 0, QStringLiteral("Parit&y:"), m_parity);
    row(1, 2, QStringLiteral("&Data Bits:"), m_dataBits);
    row(2, 0, QStringLiteral("&Stop Bits:"), m_stopBits);
    row(2, 2, QStringLiteral("&Length:"), m_length);
    return group;
}

bool TPCDForm::execute(PagingCompany& company)
{
    setCompany(company);
    m_companyName->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    company = this->company();
    return true;
}

void TPCDForm::setCompany(const PagingCompany& company)
{
    const PagingCompany shown = company.normalised();
    m_companyName->setText(WidgetText::fromBytes(shown.Name));
    m_accessNumber->setText(WidgetText::fromBytes(shown.AccessNumber));
    m_password->setText(WidgetText::fromBytes(shown.Password));
    m_length->setCurrentIndex(PagingCompany::lengthIndex(shown.Length));
    m_parity->setCurrentIndex(shown.Parity);
    m_dataBits->setCurrentIndex(shown.DataBits);
    m_stopBits->setCurrentIndex(shown.StopBits);
}

PagingCompany TPCDForm::company() const
{
    PagingCompany company;
    company.Name = WidgetText::toBytes(m_companyName->text());
    company.AccessNumber = WidgetText::toBytes(m_accessNumber->text());
    company.Password = WidgetText::toBytes(m_password->text());
    company.Length = WidgetText::toBytes(m_length->currentText());
    company.Parity = m_parity->currentIndex();
    company.DataBits = m_dataBits->currentIndex();
    company.StopBits = m_stopBits->currentIndex();
    return company;
}

void TPCDForm::BitBtn1Click()
{
    // Checked on the typed text: once made bytes, a character the file cannot hold is a "?".
    if (!WidgetText::fitsBytes(m_companyName->text())) {
        DirectoryChecks::warn(m_prompts, DirectoryChecks::unstorableCompanyName());
        m_companyName->setFocus();
        return;
    }
    switch (DirectoryChecks::checkCompany(company(), m_prompts)) {
    case DirectoryChecks::Field::None:
        if (!WidgetText::fitsBytes(m_password->text())) {
            DirectoryChecks::warn(m_prompts, DirectoryChecks::unstorablePassword());
            m_password->setFocus();
            return;
        }
        accept();
        return;
    case DirectoryChecks::Field::AccessNumber:
        m_accessNumber->setFocus();
        return;
    case DirectoryChecks::Field::Password:
        m_password->setFocus();
        return;
    default:
        m_companyName->setFocus();
        return;
    }
}

void TPCDForm::BitBtn3Click()
{
    if (m_helpOpener)
        m_helpOpener(33);
}
