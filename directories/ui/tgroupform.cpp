#include "directories/ui/tgroupform.h"

#include "directories/directorychecks.h"
#include "foundation/widgettext.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QListWidget* multiSelectList(const char* name, const QString& toolTip)
{
    auto* list = new QListWidget;
    list->setObjectName(QLatin1String(name));
    list->setToolTip(toolTip);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

} // namespace

TGroupForm::TGroupForm(IOperatorPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_groupName(new QLineEdit),
      m_available(multiSelectList("aUser", QStringLiteral("Available Users"))),
      m_inGroup(multiSelectList("ListBox2", QStringLiteral("Users In Group List"))),
      m_helpBut(pictureButton("HelpBut", QStyle::SP_DialogHelpButton, QStringLiteral("Help"))),
      m_clearBut(pictureButton("ClearBut", QStyle::SP_DialogResetButton,
                               QStringLiteral("Clear Group List"))),
      m_okBut(pictureButton("OKBut", QStyle::SP_DialogOkButton, QStringLiteral("Except And Exit"))),
      m_cancelBut(pictureButton("SpeedButton1", QStyle::SP_DialogCancelButton,
                                QStringLiteral("Cancel Changes And Exit"))),
      m_addBut(pictureButton("AddBut", QStyle::SP_ArrowRight, QStringLiteral("Add To List"))),
      m_removeBut(
          pictureButton("RemoveBut", QStyle::SP_ArrowLeft, QStringLiteral("Remove From List")))
{
    m_groupName->setObjectName(QStringLiteral("GroupName"));
    m_groupName->setToolTip(QStringLiteral("Group List Name"));
    connect(m_addBut, &QToolButton::clicked, this, &TGroupForm::AddButClick);
    connect(m_removeBut, &QToolButton::clicked, this, &TGroupForm::RemoveButClick);
    connect(m_clearBut, &QToolButton::clicked, this, &TGroupForm::ClearButClick);
    connect(m_okBut, &QToolButton::clicked, this, &TGroupForm::OKButClick);
    connect(m_cancelBut, &QToolButton::clicked, this, &QDialog::reject);
    connect(m_helpBut, &QToolButton::clicked, this, &TGroupForm::HelpButClick);
    connect(m_available, &QListWidget::itemDoubleClicked, this, &TGroupForm::AddButClick);
    connect(m_inGroup, &QListWidget::itemDoubleClicked, this, &TGroupForm::RemoveButClick);

    auto* top = new QHBoxLayout;
    top->addWidget(DialogParts::label(QStringLiteral("Group\nName:"), m_groupName, true));
    top->addWidget(m_groupName, 1);
    for (QToolButton* button : {m_helpBut, m_clearBut, m_okBut, m_cancelBut})
        top->addWidget(button);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(m_addBut);
    moves->addWidget(m_removeBut);
    moves->addStretch();
    auto* lists = new QGridLayout;
    lists->addWidget(DialogParts::label(QStringLiteral("Users Available"), m_available, true), 0,
                     0);
    lists->addWidget(DialogParts::label(QStringLiteral("Users In Group List"), m_inGroup, true), 0,
                     2);
    lists->addWidget(m_available, 1, 0);
    lists->addLayout(moves, 1, 1);
    lists->addWidget(m_inGroup, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);
    DialogParts::setUpDialog(this, "GroupForm", QStringLiteral("Group Data"), 32);
}

QToolButton* TGroupForm::pictureButton(const char* name, int icon, const QString& toolTip)
{
    auto* button = new QToolButton;
    button->setObjectName(QLatin1String(name));
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    return button;
}

bool TGroupForm::execute(QByteArray& name, QList<QByteArray>& members, const QString& userFile,
                         const QString& groupFile)
{
    m_groupName->setText(WidgetText::fromBytes(name));
    m_members.open(name, userFile, groupFile);
    DialogParts::fill(m_available, m_members.available());
    showMembers();
    m_groupName->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    name = WidgetText::toBytes(m_groupName->text());
    members = m_members.members().names();
    return true;
}

void TGroupForm::showMembers()
{
    DialogParts::fill(m_inGroup, m_members.members());
}

void TGroupForm::AddButClick()
{
    const QList<qsizetype> rows = DialogParts::selectedRows(m_available);
    if (rows.isEmpty())
        return;
    m_members.add(rows);
    showMembers();
}

void TGroupForm::RemoveButClick()
{
    const QList<qsizetype> rows = DialogParts::selectedRows(m_inGroup);
    if (rows.isEmpty())
        return;
    m_members.remove(rows);
    showMembers();
}

void TGroupForm::ClearButClick()
{
    m_members.clear();
    showMembers();
}

void TGroupForm::OKButClick()
{
    // Checked on the typed text: once made bytes, a character the file cannot hold is a "?".
    if (!WidgetText::fitsBytes(m_groupName->text())) {
        DirectoryChecks::warn(m_prompts, DirectoryChecks::unstorableGroupName());
        m_groupName->setFocus();
        return;
    }
    const QByteArray name = WidgetText::toBytes(m_groupName->text());
    const auto field = DirectoryChecks::checkGroup(name, m_members.members().size(), m_prompts);
    if (field == DirectoryChecks::Field::None)
        accept();
    else if (field == DirectoryChecks::Field::Name)
        m_groupName->setFocus();
}

void TGroupForm::HelpButClick()
{
    if (m_helpOpener)
        m_helpOpener(32);
}
