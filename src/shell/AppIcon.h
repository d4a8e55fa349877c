#pragma once
#include <QIcon>

namespace lexipond {

// The program's icon at 16, 32 and 48 pixels.
QIcon ProgramIcon();

} // namespace lexipond
