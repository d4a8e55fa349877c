// SPDX-License-Identifier: GPL-3.0-or-later
// Help! opens the guide with whatever opens files on this desktop, and says
// where the guide is when nothing can.
#include "DialogTestSupport.h"
#include "ui/dialogs/OptionsDialog.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

namespace lexipond::testing {
namespace {

// Stands in for the desktop's opener of local files.
class Opener : public QObject {
    Q_OBJECT
  public:
    Q_INVOKABLE void Open(const QUrl& url) { opened << url.toLocalFile(); }
    QStringList opened;
};

TEST(ReadMe, OpensTheGuideOrTellsWhereItIs) {
    // Offscreen, nothing opens files: the desktop's own opener is never started.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "needs the offscreen platform";
    DialogWorld world;
    const QString guide = QString::fromStdString(world.folder / "ReadMe.htm");
    const struct {
        const char* name;
        bool opener;
        QStringList opened;
        QString told;
    } rows[] = {
        {"an opener takes it", true, {guide}, QString()},
        {"nothing can open it", false, {}, guide},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Opener opener;
        if (row.opener)
            QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
        QString told;
        WhenShown("options", [&](QWidget* options) {
            if (!row.opener)
                WhenShown("tell", [&](QWidget* tell) {
                    told = static_cast<QMessageBox*>(tell)->text();
                    EXPECT_EQ(tell->parentWidget(), options) << "over the dialog that asked";
                    static_cast<QMessageBox*>(tell)->accept();
                });
            options->findChild<QPushButton*>("helpButton")->click();
            EXPECT_TRUE(Shown("tell").isEmpty());
            options->findChild<QPushButton*>("okButton")->click();
        });
        RunOptionsDialog(world.app, nullptr);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        EXPECT_EQ(opener.opened, row.opened);
        if (row.told.isEmpty())
            EXPECT_TRUE(told.isEmpty()) << told.toStdString();
        else
            EXPECT_TRUE(told.endsWith(QLatin1Char('\n') + row.told)) << told.toStdString();
    }
}

} // namespace
} // namespace lexipond::testing

#include "ReadMeTest.moc"
