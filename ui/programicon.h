#pragma once

#include <QIcon>

// The program's own icon, in the sizes that title bars, the taskbar and the notification area
// ask for.
namespace ProgramIcon {

QIcon icon();

} // namespace ProgramIcon
