#include "directories/ui/tsusersform.h"
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

TsUsersForm::TsUsersForm(IOperatorPrompts& prompts, IUserDataDialog& userData, IGroupDialog& group,
                         QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_userData(userData), m_group(group), m_list(prompts),
      m_listBox(new QListWidget), m_add(button("AddUserBut", QStringLiteral("&Add"))),
      m_edit(button("EditUserBut", QStringLiteral("&Edit"))),
      m_delete(button("DeleteBut", QStringLiteral("&Delete"))),
      m_close(button("BitBtn4", QStringLiteral("&Close"))),
      m_help(button("BitBtn5", QStringLiteral("&Help")))
{
    m_listBox->setObjectName(QStringLiteral("ListBox1"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    connect(m_add, &QPushButton::clicked, this, &TsUsersForm::AddUserButClick);
    connect(m_edit, &QPushButton::clicked, this, &TsUsersForm::EditUserButClick);
    connect(m_delete, &QPushButton::clicked, this, &TsUsersForm::DeleteButClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_help, &QPushButton::clicked, this, &TsUsersForm::BitBtn5Click);
    connect(m_listBox, &QListWidget::itemDoubleClicked, this, &TsUsersForm::EditUserButClick);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_add, m_edit, m_delete, m_close, m_help})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_listBox);
    layout->addLayout(buttons);
    DialogParts::setUpDialog(this, "sUsersForm", QStringLiteral("Shared Users"), 30);
}

void TsUsersForm::open(const QString& caption, const SharedList::Setup& setup)
{
    setWindowTitle(caption);
    m_list.open(setup);
    DialogParts::setHelpContext(this, m_list.helpContext());
    DialogParts::fill(m_listBox, m_list.names());
}

int TsUsersForm::execute(const QString& caption, const SharedList::Setup& setup)
{
    open(caption, setup);
    return exec();
}

void TsUsersForm::AddUserButClick()
{
    DialogParts::guarded(m_prompts, [this] {
        const qsizetype index = m_list.mode() == SharedList::Mode::Users
                                    ? m_list.addUser(m_userData)
                                    : m_list.addGroup(m_group);
        if (index >= 0)
            m_listBox->insertItem(static_cast<int>(index),
                                  WidgetText::fromBytes(m_list.names().at(index)));
    });
}

void TsUsersForm::EditUserButClick()
{
    const int row = DialogParts::selectedRow(m_listBox);
    if (row < 0)
        return;
    DialogParts::guarded(m_prompts, [this, row] {
        if (m_list.mode() == SharedList::Mode::Users)
            m_list.editUser(row, m_userData);
        else
            m_list.editGroup(row, m_group);
    });
}

void TsUsersForm::DeleteButClick()
{
    const int row = DialogParts::selectedRow(m_listBox);
    if (row < 0)
        return;
    DialogParts::guarded(m_prompts, [this, row] {
        if (m_list.remove(row))
            DialogParts::removeRow(m_listBox, row);
    });
}

void TsUsersForm::BitBtn5Click()
{
    if (m_helpOpener)
        m_helpOpener(m_list.helpContext());
}
