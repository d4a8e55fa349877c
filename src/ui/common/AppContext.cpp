// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/AppContext.h"

#include "core/lifecycle/Lifecycle.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace lexipond {

void OpenReadMe(const AppContext& app) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(
        QFile::decodeName(QByteArray::fromStdString(app.programFolder + kReadMeFileName))));
}

} // namespace lexipond
