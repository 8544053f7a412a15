// A power cut at any moment of a removal on SQLite. A killed process keeps
// what the system already holds; a power cut keeps only what was synced. The
// removal runs once over a VFS that takes, at each sync point, what the disk
// would then hold (the unsynced writes lost, or torn); each of those images is
// then laid down and opened: the file is a sound database, each set of each
// examination is whole or absent, and with copies on, whatever is absent comes
// back whole from the copies on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>

#include "ExamDatabase.h"
#include "FakeToolkit.h"
#include "FaultSupport.h"
#include "PowerCutVfs.h"
#include "RemovalAudit.h"
#include "RestoreCopy.h"
#include "SystemLog.h"
#include "TempDir.h"
#include "ado/Connection.h"

namespace {

using testing_support::CountRows;
using testing_support::SeedNumbers;
using testing_support::Snapshot;

class NoLog final : public platform::SystemLog {
public:
    bool Write(platform::LogSeverity, platform::LogEvent, std::string_view) noexcept override { return true; }
};

using Removal = std::function<void(ado::Connection&, const std::vector<std::string>& numbers,
                                   const std::string& copies)>;

// The window's removal, one examination after another, as the operator
// confirms each.
void WindowRemoval(ado::Connection& cn, const std::vector<std::string>& numbers, const std::string& copies) {
    NoLog log;
    testing_support::FakeToolkit ui;
    removal::RemovalAudit audit(log, "janela");
    for (const std::string& number : numbers) {
        const removal::RemovalReport report = audit.Remove(number, cn, ui, copies);
        ASSERT_EQ(report.outcome, removal::RemovalReport::Outcome::Removed) << number;
    }
}

// The command line's --lote size: the numbers in groups, each group's live
// sets committed together and then its _BK sets, each examination in its own
// savepoint.
Removal LoteRemoval(std::size_t size) {
    return [size](ado::Connection& cn, const std::vector<std::string>& numbers, const std::string& copies) {
        NoLog log;
        testing_support::FakeToolkit ui;
        removal::RemovalAudit audit(log, "linha_de_comando");
        const ado::SavepointSyntax savepoints = cn.Savepoints();
        const auto noFocus = [](std::size_t) {};
        for (std::size_t first = 0; first < numbers.size(); first += size) {
            std::vector<removal::GroupMember> members(std::min(size, numbers.size() - first));
            for (std::size_t i = 0; i < members.size(); ++i) members[i].numeroExame = numbers[first + i];
            audit.RemoveGroup(members, cn, savepoints, ui, noFocus, copies);
            for (const removal::GroupMember& member : members)
                ASSERT_EQ(member.report.outcome, removal::RemovalReport::Outcome::Removed)
                    << member.numeroExame;
        }
    };
}

// One way of removing: a table row. A grouped batch is one more row whose
// removal runs the batch over the numbers.
struct Scenario {
    const char* name;
    bool copies;
    std::function<std::vector<std::string>(const SeedNumbers&)> numbers;
    Removal remove;
};

TEST(PowerCut, EachSetIsWholeOrAbsentAndNeverGoneWithoutItsCopy) {
    const auto both = [](const SeedNumbers& seed) { return std::vector{seed.both.front()}; };
    const auto liveOnly = [](const SeedNumbers& seed) { return std::vector{seed.liveOnly.front()}; };
    const auto three = [](const SeedNumbers& seed) {
        return std::vector{seed.both.at(0), seed.both.at(1), seed.liveOnly.at(0)};
    };
    const Scenario scenarios[] = {
        {"janela, sem copias", false, both, WindowRemoval},
        {"janela, com copias", true, both, WindowRemoval},
        {"janela, com copias, so o conjunto vivo", true, liveOnly, WindowRemoval},
        {"lote 3, sem copias", false, three, LoteRemoval(3)},
        {"lote 3, com copias", true, three, LoteRemoval(3)},
        {"lote 2, com copias, dois grupos", true, three, LoteRemoval(2)},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        testing_support::TempDir dir;
        const std::string db = dir.file("exames.db");
        const std::string connectionString = testing_support::CreateSqliteExamDatabase(db);
        const std::string copies = dir.file("copias");
        std::filesystem::create_directory(copies);

        ado::Connection cn(connectionString);
        cn.Open();
        const std::vector<std::string> numbers = scenario.numbers(testing_support::FindSeedNumbers(cn));
        const Snapshot before = testing_support::TakeSnapshot(cn);
        std::map<std::string, std::array<Snapshot, 2>> sets;
        for (const std::string& number : numbers)
            sets[number] = {testing_support::RowsOfExamination(cn, number, ""),
                            testing_support::RowsOfExamination(cn, number, "_BK")};
        cn.Close();

        std::vector<faults::PowerCut> cuts;
        {
            faults::PowerCutVfs vfs(dir.path().string());
            ado::Connection removing(connectionString);
            removing.Open();
            scenario.remove(removing, numbers, scenario.copies ? copies : std::string());
            removing.Close();
            cuts = vfs.Cuts();
        }
        ASSERT_FALSE(HasFatalFailure());

        std::size_t points = 0, gone = 0;
        for (const faults::PowerCut& cut : cuts) {
            SCOPED_TRACE(cut.point);
            points += cut.point.find(", rasgado") == std::string::npos;
            faults::LayDown(cut);
            ASSERT_EQ(faults::IntegrityCheck(db), "ok");
            ado::Connection after(connectionString);
            after.Open();
            bool anyGone = false;
            for (const std::string& number : numbers)
                for (std::size_t set = 0; set < 2; ++set) {
                    const Snapshot rows = testing_support::RowsOfExamination(after, number, set ? "_BK" : "");
                    EXPECT_TRUE(rows == sets[number][set] || CountRows(rows) == 0)
                        << number << " set " << set << ": " << CountRows(rows) << " of "
                        << CountRows(sets[number][set]) << " rows";
                    anyGone = anyGone || (CountRows(rows) == 0 && CountRows(sets[number][set]) > 0);
                }
            gone += anyGone;
            if (scenario.copies && anyGone) {
                // Every copy on disk put back: whatever is gone comes back, whole.
                std::string refusals;
                for (const auto& entry : std::filesystem::directory_iterator(copies)) {
                    const auto restored = removal::RestoreRemovedRows(entry.path().string(), after, false);
                    EXPECT_NE(restored.outcome, removal::RestoreReport::Outcome::Failed) << restored.reason;
                    refusals += " " + restored.reason;
                }
                EXPECT_TRUE(testing_support::TakeSnapshot(after) == before) << "rows gone without their copy:" << refusals;
            }
            after.Close();
        }
        EXPECT_GT(gone, 0u) << "some cut must come after a commit";
        EXPECT_LT(gone, cuts.size()) << "some cut must come before a commit";
        std::cout << "[ power cut ] " << scenario.name << ": " << points << " cut points, " << cuts.size()
                  << " images (" << gone << " with rows gone)\n";
    }
}

}  // namespace
