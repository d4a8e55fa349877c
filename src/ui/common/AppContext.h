#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// What the window layer shares, window thread only. The context owns nothing
// but the folders: the program (or a test) owns the word store and the settings
// and outlives every window. Everything the worker also touches goes through
// the store (core/tutor/WordStore.h), which keeps the worker out itself. The
// settings are here for the fields the window thread alone writes (placement,
// Transparent, On Top, ...); the fields the worker reads (user, level, names)
// are written only through the store.
//
// The pointers to the open Options, About and Results Report dialogs are null
// while that dialog is closed; a second command for an open dialog does nothing.
#include "ui/common/LookSettings.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>

namespace lexipond {

class WordStore;
struct SettingsBlock;

struct AppContext {
    WordStore& store;
    SettingsBlock& settings;
    std::string programFolder; // with a trailing '/'
    std::string dataFolder;    // with a trailing '/'
    QPointer<QDialog> options = nullptr;
    QPointer<QDialog> about = nullptr;
    QPointer<QDialog> report = nullptr;
    QPointer<QDialog> progress = nullptr;
    // The card's look and its file (empty: kept for this run only, as in tests).
    LookSettings look = {};
    QString lookFile = {};
    // Set by the main window: shows a changed look at once.
    std::function<void()> lookChanged = {};
};

// Takes a new look: stores it in its file (when there is one) and shows it.
void ChangeLook(AppContext& app, const LookSettings& look);

// Opens programFolder + "ReadMe.htm" with the desktop's browser; when nothing
// can open it, tells the guide's path instead (over the active window).
void OpenReadMe(const AppContext& app);

// A message with one OK button, modal over owner (may be null).
void Tell(QWidget* owner, const QString& message);

} // namespace lexipond
