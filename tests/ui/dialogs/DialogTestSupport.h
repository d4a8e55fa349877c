#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A tutor world with an open word database for the dialogs, and a way to act
// inside a modal dialog: a timer finds the window once its modal loop runs.
#include "TestSupport.h"
#include "ui/common/AppContext.h"
#include "core/settings/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace lexipond::testing {

struct DialogWorld : TutorWorld {
    DialogWorld() {
        db.fileName = folder / "LPDB.lbf";
        EXPECT_NE(CreateWordDatabase(db), 0);
        ApplyDefaultSettings(settings);
    }
    ~DialogWorld() { CloseRecordFile(db); }

    AppContext app{store, settings, folder.Slash(), folder.Slash()};
};

// The visible top-level windows named name or holding a button of that name
// (all of them for an empty name).
inline QWidgetList Shown(const QString& name) {
    QWidgetList shown;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() &&
            (name.isEmpty() || widget->objectName() == name ||
             widget->findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly)))
            shown << widget;
    return shown;
}

// Runs action on the first such window once there is one. After 8 s the test
// fails and every modal dialog is closed, so that a broken dialog cannot hang the run.
inline void WhenShown(const QString& name, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name, action, waited = 0]() mutable {
        QWidget* found = Shown(name).value(0);
        if (!found && (waited += 10) < 8000)
            return;
        poll->stop();
        poll->deleteLater();
        if (found)
            return action(found);
        ADD_FAILURE() << qPrintable(name) << " did not appear";
        while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            modal->done(QDialog::Rejected);
    });
    poll->start(10);
}

} // namespace lexipond::testing
