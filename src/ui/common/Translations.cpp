// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/common/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lexipond {

bool InstallTranslations(QCoreApplication& application) {
    const QLocale locale;
    // Parented to the application, so they live exactly as long as it does.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    auto* ours = new QTranslator(&application);
    if (!ours->load(locale, QStringLiteral("lexipond"), QStringLiteral("_"),
                    QStringLiteral(":/lexipond/i18n")))
        return false;
    return QCoreApplication::installTranslator(ours);
}

} // namespace lexipond
