#include "directories/ui/sharedlistcommands.h"

#include "directories/sharedpaths.h"
#include "directories/ui/tgroupform.h"
#include "directories/ui/tpclform.h"
#include "directories/ui/tsuserdataform.h"
#include "directories/ui/tsusersform.h"
#include "foundation/widgettext.h"

SharedListCommands::SharedListCommands(const QString& dataDir, IOperatorPrompts& prompts,
                                       QWidget* window)
    : QObject(window), m_dataDir(dataDir), m_prompts(prompts), m_window(window),
      m_groupForm(new TGroupForm(prompts, window)),
      m_userDataForm(new TsUserDataForm(prompts, window)),
      m_usersForm(new TsUsersForm(prompts, *m_userDataForm, *m_groupForm, window))
{
}

// The dialogs are children of the window and go with it.
SharedListCommands::~SharedListCommands() = default;

void SharedListCommands::setHelpOpener(const DialogParts::HelpOpener& opener)
{
    m_helpOpener = opener;
    m_groupForm->setHelpOpener(opener);
    m_userDataForm->setHelpOpener(opener);
    m_usersForm->setHelpOpener(opener);
}

QString SharedListCommands::path(const QByteArray& configured) const
{
    return SharedPaths::resolve(WidgetText::fromFileName(configured), m_dataDir);
}

void SharedListCommands::Users1Click(const QByteArray& userFile)
{
    SharedList::Setup setup;
    setup.mode = SharedList::Mode::Users;
    setup.listFile = path(userFile);
    setup.userFile = setup.listFile;
    setup.directory = SharedPaths::directoryOf(WidgetText::fromFileName(userFile), m_dataDir);
    m_usersForm->execute(QStringLiteral("Shared Users"), setup);
}

void SharedListCommands::Groups1Click(const QByteArray& userFile, const QByteArray& groupFile)
{
    SharedList::Setup setup;
    setup.mode = SharedList::Mode::Groups;
    setup.listFile = path(groupFile);
    setup.userFile = path(userFile);
    setup.directory = SharedPaths::directoryOf(WidgetText::fromFileName(userFile), m_dataDir);
    m_usersForm->execute(QStringLiteral("Shared Groups"), setup);
}

void SharedListCommands::PagingCompanies1Click(const QByteArray& userFile)
{
    TPCLForm form(SharedPaths::directoryOf(WidgetText::fromFileName(userFile), m_dataDir),
                  m_prompts, m_window);
    form.setHelpOpener(m_helpOpener);
    form.exec();
}
