// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/lifecycle/Backups.h"

#include "TestSupport.h"

#include <set>
#include <sys/stat.h>

namespace lexipond {
namespace {

using namespace testing;

constexpr std::time_t kDay = 24 * 60 * 60;

std::set<std::string> Names(const std::vector<DatedBackup>& backups) {
    std::set<std::string> names;
    for (const DatedBackup& b : backups)
        names.insert(b.name);
    return names;
}

std::string GoodSettings(char firstName) {
    std::string bytes = "WORD1100" + std::string(1000, '\0');
    bytes[8 + 92] = firstName;
    return bytes;
}

TEST(Backups, AChangedFileIsKeptOnceAndAnUnchangedOneIsNotCopiedAgain) {
    TempFolder data;
    const std::string bak = data / "LPDB.lbf Bak";
    MakeWordDatabase(bak, NumberedWords(12));
    const std::time_t now = 1'800'000'000;
    ASSERT_TRUE(KeepDatedBackup(data.Slash(), bak, "LPDB.lbf", now));
    ASSERT_TRUE(KeepDatedBackup(data.Slash(), bak, "LPDB.lbf", now + 60));
    std::vector<DatedBackup> kept = ListBackups(data.Slash());
    ASSERT_EQ(kept.size(), 1u) << "an unchanged database was kept twice";
    EXPECT_EQ(kept[0].name, DatedBackupName("LPDB.lbf", now));
    EXPECT_TRUE(ReadBytes(kept[0].path) == ReadBytes(bak));

    // The next exit makes a new " Bak" (a new file): a second dated copy.
    const std::string before = ReadBytes(bak);
    fs::remove(bak);
    MakeWordDatabase(bak, NumberedWords(13));
    ASSERT_TRUE(KeepDatedBackup(data.Slash(), bak, "LPDB.lbf", now + 120));
    kept = ListBackups(data.Slash());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].when, now + 120) << "newest first";
    EXPECT_TRUE(ReadBytes(kept[1].path) == before) << "the older copy changed with the file";
}

TEST(Backups, PruningKeepsTheNewestTenAndOneForEachOfTheLastEightWeeks) {
    TempFolder data;
    fs::create_directories(data / "Backups");
    const std::time_t now = 1'800'000'000;
    // One exit a day for 90 days, plus five today and a settings file's copies.
    std::vector<std::time_t> days;
    for (int d = 0; d < 90; ++d)
        days.push_back(now - d * kDay - 3600);
    for (int i = 1; i <= 5; ++i)
        days.push_back(now - i * 60);
    for (std::time_t when : days)
        WriteBytes(data / ("Backups/" + DatedBackupName("LPDB.lbf", when)), "x");
    for (int i = 0; i < 3; ++i)
        WriteBytes(data / ("Backups/" + DatedBackupName("dLexipond.dat", now - i * kDay)), "s");

    // By hand: the ten newest (five today, days 0..4), then the newest of each
    // week 1..7 counted back from now (days 7, 14, ..., 49); week 0 is among the ten.
    std::set<std::string> expected;
    for (int i = 1; i <= 5; ++i)
        expected.insert(DatedBackupName("LPDB.lbf", now - i * 60));
    for (int d = 0; d < 5; ++d)
        expected.insert(DatedBackupName("LPDB.lbf", now - d * kDay - 3600));
    for (int week = 1; week < 8; ++week) {
        // The newest backup older than `week` weeks: the day whose age first reaches it.
        for (int d = 0; d < 90; ++d)
            if ((d * kDay + 3600) / (7 * kDay) == week) {
                expected.insert(DatedBackupName("LPDB.lbf", now - d * kDay - 3600));
                break;
            }
    }
    for (int i = 0; i < 3; ++i)
        expected.insert(DatedBackupName("dLexipond.dat", now - i * kDay));

    const int removed = PruneBackups(data.Slash(), now);
    EXPECT_EQ(Names(ListBackups(data.Slash())), expected);
    EXPECT_EQ(removed, int(days.size() + 3 - expected.size()));
}

TEST(Backups, RestoreKeepsThePresentFileAndRefusesADamagedOrUnknownBackup) {
    TempFolder data;
    const std::time_t now = 1'800'000'000;
    fs::create_directories(data / "Backups");
    const std::string good = data / ("Backups/" + DatedBackupName("LPDB.lbf", now - kDay));
    MakeWordDatabase(good, NumberedWords(20, "old"));
    MakeWordDatabase(data / "LPDB.lbf", NumberedWords(11, "new"));
    const std::string present = ReadBytes(data / "LPDB.lbf");
    const std::string damagedName = DatedBackupName("LPDB.lbf", now - 2 * kDay);
    WriteBytes(data / ("Backups/" + damagedName), std::string(100, 'x'));

    std::string detail;
    EXPECT_EQ(RestoreBackup(data.Slash(), damagedName, now, detail), RestoreOutcome::Damaged);
    EXPECT_EQ(RestoreBackup(data.Slash(), "LPDB.lbf 19990101-000000", now, detail),
              RestoreOutcome::NoSuchBackup);
    EXPECT_TRUE(ReadBytes(data / "LPDB.lbf") == present) << "a refused restore changed the file";

    ASSERT_EQ(RestoreBackup(data.Slash(), DatedBackupName("LPDB.lbf", now - kDay), now, detail),
              RestoreOutcome::Restored)
        << detail;
    EXPECT_EQ(LiveWords(data / "LPDB.lbf"), 20u);
    const std::string keptPresent = data / ("Backups/" + DatedBackupName("LPDB.lbf", now));
    EXPECT_TRUE(ReadBytes(keptPresent) == present) << "the file before the restore was not kept";
    EXPECT_EQ(LiveWords(good), 20u) << "the restored backup itself changed";
}

TEST(Backups, TheChecksTellAGoodCopyFromABadOne) {
    TempFolder data;
    struct Row {
        const char* name;
        const char* fileName;
        std::string bytes;
        bool good;
    };
    MakeWordDatabase(data / "db", NumberedWords(10));
    std::string cut = ReadBytes(data / "db");
    cut.resize(3000); // inside the slots the header declares
    const Row rows[] = {
        {"settings", "dLexipond.dat", GoodSettings('A'), true},
        {"empty settings", "dLexipond.dat", "", false},
        {"settings cut short", "dLexipond.dat", GoodSettings('A').substr(0, 500), false},
        {"settings with another magic", "dLexipond.dat", "XORD1100" + std::string(1000, '\0'),
         false},
        {"database", "LPDB.lbf", ReadBytes(data / "db"), true},
        {"database cut short", "LPDB.lbf", cut, false},
        {"zeroed database", "LPDB.lbf", std::string(7796, '\0'), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(data / "file", row.bytes);
        std::string reason;
        EXPECT_EQ(BackupPassesCheck(data / "file", row.fileName, reason), row.good) << reason;
    }
}

} // namespace
} // namespace lexipond
