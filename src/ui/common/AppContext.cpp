// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/AppContext.h"

#include "core/lifecycle/Lifecycle.h"
#include "ui/common/AppIcon.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QUrl>

namespace lexipond {

namespace {

struct ReadMeTexts {
    Q_DECLARE_TR_FUNCTIONS(ReadMe)
};

} // namespace

void Tell(QWidget* owner, const QString& message) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kWindowTitle), message,
                    QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("tell"));
    // A path or a count may be worth copying.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void OpenReadMe(const AppContext& app) {
    const QString path =
        QFile::decodeName(QByteArray::fromStdString(app.programFolder + kReadMeFileName));
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    // No browser and no opener: say where the guide is, so that it can be opened by hand.
    QWidget* owner = QApplication::activeModalWidget();
    Tell(owner ? owner : QApplication::activeWindow(),
         ReadMeTexts::tr("The guide could not be opened: no web browser was found to show it. "
                         "It is this file:\n%1")
             .arg(QDir::toNativeSeparators(path)));
}

void ChangeLook(AppContext& app, const LookSettings& look) {
    if (look == app.look)
        return;
    app.look = look;
    // Not stored (a full disk, a read-only folder) still shows for this run.
    if (!app.lookFile.isEmpty())
        SaveLook(app.lookFile, look);
    if (app.lookChanged)
        app.lookChanged();
}

} // namespace lexipond
