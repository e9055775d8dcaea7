#pragma once

#include "directories/namelist.h"

#include <QString>

class IGroupDialog;
class IOperatorPrompts;
class IUserDataDialog;

// The commands of the shared list dialog: in Users mode the users of the shared user file, in
// Groups mode the groups of the shared group file, sorted, with Add, Edit and Delete. Every
// change goes to the file at once; a write the file store refuses raises its error and leaves
// the list as it was.
class SharedList final
{
public:
    enum class Mode { Users, Groups };

    struct Setup
    {
        Mode mode = Mode::Users;
        // The file the list edits: the shared user file or the shared group file.
        QString listFile;
        // The shared user file: the available users of a group.
        QString userFile;
        // The folder of Provider.dat, whose companies are the users' providers.
        QString directory;
    };

    explicit SharedList(IOperatorPrompts& prompts);

    // Takes the mode and paths and reads the names anew from the edited file.
    void open(const Setup& setup);

    const Setup& setup() const { return m_setup; }
    Mode mode() const { return m_setup.mode; }
    int helpContext() const { return m_setup.mode == Mode::Users ? 30 : 32; }
    const NameList& names() const { return m_names; }

    // A new user through the dialog; the list index of the name, or -1 when nothing was stored.
    qsizetype addUser(IUserDataDialog& dialog);
    // The user at `index` through the dialog, stored under the name it closes with; refused
    // with a warning while Provider.dat lists no company. True when something was written.
    bool editUser(qsizetype index, IUserDataDialog& dialog);
    qsizetype addGroup(IGroupDialog& dialog);
    bool editGroup(qsizetype index, IGroupDialog& dialog);
    // Asks, then removes the user or group at `index` from the edited file; true when removed.
    bool remove(qsizetype index);

private:
    IOperatorPrompts& m_prompts;
    Setup m_setup;
    NameList m_names;
};
