// SPDX-License-Identifier: GPL-3.0-or-later
// The look's own file: every choice comes back as stored, and a missing or
// damaged file (or any value not written by us) gives the defaults.
#include "ui/common/LookSettings.h"

#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace lexipond {
namespace {

using testing::TempFolder;

class LookFile : public ::testing::Test {
  protected:
    QString Path() const {
        return QString::fromStdString(folder.Path()) + QStringLiteral("/Lexipond/lexipond.conf");
    }
    void Write(const QByteArray& bytes) {
        ASSERT_TRUE(SaveLook(Path(), LookSettings{})); // makes the folder
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    TempFolder folder;
};

TEST_F(LookFile, EveryChoiceRoundTrips) {
    const QString families[] = {QString(), QStringLiteral("Andika"),
                                QStringLiteral("Odd = name; with [brackets] \u00e9\u4e2d")};
    for (ColourScheme scheme :
         {ColourScheme::Classic, ColourScheme::HighContrast, ColourScheme::Dark})
        for (const QString& family : families)
            for (bool lower : {false, true}) {
                const LookSettings look{scheme,
                                        family,
                                        lower,
                                        lower,
                                        lower ? QStringLiteral("kal16") : QStringLiteral("awb"),
                                        lower ? 50 : 200};
                SCOPED_TRACE(family.toStdString() + (lower ? " lower" : " as stored"));
                ASSERT_TRUE(SaveLook(Path(), look));
                EXPECT_TRUE(LoadLook(Path()) == look);
            }
}

TEST_F(LookFile, AMissingOrDamagedFileGivesTheDefaults) {
    EXPECT_TRUE(LoadLook(Path()) == LookSettings{}); // never written
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"junk bytes", QByteArray("\x00\xff\x13[[[=\n\x01\x02", 10)},
        {"unknown values",
         "[Appearance]\nscheme=purple\nlowerCase=yes\nwordTypeface=@Variant(\\0\\0\\0\\x7f)\n"},
        {"a list for a scheme", "[Appearance]\nscheme=dark, classic\nlowerCase=1\n"},
        {"a family too long", "[Appearance]\nwordTypeface=" + QByteArray(5000, 'x') + "\n"},
        {"cut short", "[Appearance"},
        {"empty", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Write(row.bytes);
        EXPECT_TRUE(LoadLook(Path()) == LookSettings{});
        // And the next choice is stored over it.
        const LookSettings dark{ColourScheme::Dark, QStringLiteral("Andika"), true};
        ASSERT_TRUE(SaveLook(Path(), dark));
        EXPECT_TRUE(LoadLook(Path()) == dark);
    }
}

TEST_F(LookFile, OneDamagedValueLeavesTheOthers) {
    Write("[Appearance]\nscheme=high-contrast\nlowerCase=maybe\nwordTypeface=Andika\n"
          "[Speech]\nsayAfterIncorrect=true\nvoice=robot\nrate=900\n");
    const LookSettings look = LoadLook(Path());
    EXPECT_EQ(look.scheme, ColourScheme::HighContrast);
    EXPECT_FALSE(look.lowerCase);
    EXPECT_EQ(look.wordFamily, QStringLiteral("Andika"));
    EXPECT_TRUE(look.sayAfterIncorrect);
    EXPECT_EQ(look.voice, QStringLiteral("slt")) << "an unknown voice";
    EXPECT_EQ(look.ratePercent, 100) << "a speed out of range";
}

TEST(LookText, LowerCaseOnlyWhenChosen) {
    LookSettings look;
    EXPECT_EQ(ShownWord(look, QStringLiteral("The Cat")), QStringLiteral("The Cat"));
    look.lowerCase = true;
    EXPECT_EQ(ShownWord(look, QStringLiteral("The \u00c9t\u00c9")),
              QStringLiteral("the \u00e9t\u00e9"));
}

} // namespace
} // namespace lexipond
