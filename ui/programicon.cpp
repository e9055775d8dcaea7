#include "ui/programicon.h"

namespace ProgramIcon {

QIcon icon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/zelkor-server-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace ProgramIcon
