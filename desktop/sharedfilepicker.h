#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The file picker of the options dialog's shared directories: a file-open dialog that requires
// the chosen folder to exist and asks before it accepts a file that does not exist yet.
class SharedFilePicker final
{
public:
    // What the picker is asked for: its title, filters, the filter selected first, the proposed
    // file name and the folder it opens in.
    struct Request
    {
        QString title;
        QStringList filters;
        int filterIndex = 0;
        QString proposedName;
        QString startFolder;
    };

    // The chosen file's full path, or nothing when the operator cancels.
    static std::optional<QString> pick(QWidget* parent, const Request& request);
};
