#include "directories/ui/tpclform.h"

#include "directories/ui/tpcdform.h"
#include "foundation/widgettext.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPushButton* button(const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TPCLForm::TPCLForm(const QString& directory, IOperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_companies(directory, prompts),
      m_listBox(new QListWidget), m_add(button("AddUserBut", QStringLiteral("&Add"))),
      m_edit(button("EditUserBut", QStringLiteral("&Edit"))),
      m_delete(button("DeleteBut", QStringLiteral("&Delete"))),
      m_close(button("BitBtn4", QStringLiteral("&Close"))),
      m_help(button("BitBtn5", QStringLiteral("&Help")))
{
    m_listBox->setObjectName(QStringLiteral("ListBox1"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    connect(m_add, &QPushButton::clicked, this, &TPCLForm::AddUserButClick);
    connect(m_edit, &QPushButton::clicked, this, &TPCLForm::EditUserButClick);
    connect(m_delete, &QPushButton::clicked, this, &TPCLForm::DeleteButClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_help, &QPushButton::clicked, this, &TPCLForm::BitBtn5Click);
    connect(m_listBox, &QListWidget::itemDoubleClicked, this, &TPCLForm::EditUserButClick);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_add, m_edit, m_delete, m_close, m_help})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_listBox);
    layout->addLayout(buttons);
    DialogParts::setUpDialog(this, "PCLForm", QStringLiteral("Paging Companies"), 33);
}

void TPCLForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TPCLForm::FormShow()
{
    m_companies.open();
    DialogParts::fill(m_listBox, m_companies.names());
}

void TPCLForm::AddUserButClick()
{
    DialogParts::guarded(m_prompts, [this] {
        TPCDForm dialog(m_prompts, this);
        dialog.setHelpOpener(m_helpOpener);
        const qsizetype index = m_companies.add(dialog);
        if (index >= 0)
            m_listBox->insertItem(static_cast<int>(index),
                                  WidgetText::fromBytes(m_companies.names().at(index)));
    });
}

void TPCLForm::EditUserButClick()
{
    const int row = DialogParts::selectedRow(m_listBox);
    if (row < 0)
        return;
    DialogParts::guarded(m_prompts, [this, row] {
        TPCDForm dialog(m_prompts, this);
        dialog.setHelpOpener(m_helpOpener);
        m_companies.edit(row, dialog);
    });
}

void TPCLForm::DeleteButClick()
{
    const int row = DialogParts::selectedRow(m_listBox);
    if (row < 0)
        return;
    DialogParts::guarded(m_prompts, [this, row] {
        if (m_companies.remove(row))
            DialogParts::removeRow(m_listBox, row);
    });
}

void TPCLForm::BitBtn5Click()
{
    if (m_helpOpener)
        m_helpOpener(33);
}
