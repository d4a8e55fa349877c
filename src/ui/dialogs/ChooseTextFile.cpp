// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/ChooseTextFile.h"

#include "ui/common/AppIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStandardPaths>
#include <utility>

namespace lexipond {

QString TextFileFilter() {
    return QCoreApplication::translate("ChooseTextFile", "Text Files (*.txt *.log);;All Files (*)");
}

bool ChooseTextFile(QWidget* owner, QString& fileName, const QString& filter) {
    // A suggestion that can be read is kept as the first selection; anything
    // else sends the chooser to the documents folder.
    QString start;
    bool keepSuggestion = false;
    if (!fileName.isEmpty()) {
        QFile suggested(fileName);
        keepSuggestion = suggested.open(QIODevice::ReadOnly);
    }
    if (keepSuggestion) {
        start = fileName;
    } else {
        start = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (start.isEmpty() || !QDir(start).exists())
            start = QDir::homePath();
    }

    QFileDialog chooser(owner, QString::fromLatin1(kWindowTitle), start, filter);
    chooser.setObjectName(QStringLiteral("chooseTextFile"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    if (keepSuggestion)
        chooser.selectFile(fileName);
    // Qt's own chooser leaves two of its labels without their lists, which a
    // screen reader then cannot name; a native chooser has neither.
    for (const auto& [label, list] :
         {std::pair{"lookInLabel", "lookInCombo"}, std::pair{"fileTypeLabel", "fileTypeCombo"}})
        if (auto* text = chooser.findChild<QLabel*>(QLatin1String(label)))
            text->setBuddy(chooser.findChild<QWidget*>(QLatin1String(list)));
    if (chooser.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = chooser.selectedFiles();
    if (chosen.isEmpty())
        return false;
    fileName = chosen.first();
    return true;
}

} // namespace lexipond
