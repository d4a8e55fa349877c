// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/AppIcon.h"

namespace lexipond {

QIcon ProgramIcon() {
    static const QIcon icon = [] {
        QIcon made;
        for (int size : {16, 32, 48})
            made.addFile(QStringLiteral(":/lexipond/lexipond-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

} // namespace lexipond
