// MakeDirectory on a real file system: what it creates, logs and removes.
#include <gtest/gtest.h>

#include "install/make_directory.h"
#include "wizard_fixture.h"

namespace {

struct MakeCase {
    const char* name;
    const char* existing;  // made before the call ("" for none)
    const char* path;      // below the scratch folder
    bool result;
    std::vector<const char*> logged;  // head first, below the scratch folder
    std::vector<const char*> absent;  // must not exist afterwards
};

// Told of each level as it is logged: it may not exist yet.
struct LogFirstJournal : UninstallLogJournal {
    std::vector<std::string> ExistedWhenLogged;
    void Pushed(const UninstallRecord& record) override {
        if (DirExists(record.Path())) ExistedWhenLogged.push_back(record.Path());
    }
    void Discard() override {}
};

TEST(MakeDirectoryTest, CreatesLogsAndUndoesLevelByLevel) {
    const MakeCase cases[] = {
        {"neither level exists", "", "Apps\\Velto", true, {"Apps\\Velto", "Apps"}, {}},
        {"the parent exists", "Apps", "Apps\\Velto", true, {"Apps\\Velto"}, {}},
        {"everything exists", "Apps\\Velto", "Apps\\Velto", true, {}, {}},
        {"three new levels", "", "A\\B\\C", true, {"A\\B\\C", "A\\B", "A"}, {}},
        {"trailing backslash", "", "Apps\\Velto\\", false, {}, {"Apps\\Velto", "Apps"}},
        {"two backslashes in a row", "", "Apps\\\\Velto", false, {}, {"Apps"}},
        {"a new level below an old one fails", "Old", "Old\\New\\", false, {}, {"Old\\New"}},
    };
    for (const MakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchTree tree;
        if (*c.existing) tree.Dir(c.existing);
        const std::string cwd = CurrentDirectory();
        UninstallLog log;
        LogFirstJournal journal;
        log.Journal = &journal;
        EXPECT_EQ(MakeDirectory(tree / c.path, log), c.result);
        EXPECT_EQ(journal.ExistedWhenLogged, std::vector<std::string>());
        std::vector<std::string> expected;
        for (const char* p : c.logged) expected.push_back(tree / p);
        EXPECT_EQ(LoggedPaths(log), expected);
        for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get()) {
            EXPECT_EQ(r->Kind, ukDirectory);
            EXPECT_TRUE(DirExists(r->Path())) << r->Path();
        }
        for (const char* p : c.absent) EXPECT_FALSE(DirExists(tree / p)) << p;
        if (*c.existing) {
            EXPECT_TRUE(DirExists(tree / c.existing));
        }
        EXPECT_EQ(CurrentDirectory(), cwd);
    }
}

TEST(MakeDirectoryTest, RefusesPathsWithoutDriveAndRootAtOnce) {
    ScratchTree tree;
    const std::string cwd = CurrentDirectory();
    SetCurrentDirectoryA(tree.Path().c_str());
    for (const char* path :
         {"", "\\\\server\\share\\Velto", "1:\\Velto", "\\Velto", "Velto", "Velto\\Sub", "C:Velto"}) {
        SCOPED_TRACE(path);
        UninstallLog log;
        EXPECT_FALSE(MakeDirectory(path, log));
        EXPECT_TRUE(log.Empty());
    }
    // Nothing was made relative to the current directory either.
    EXPECT_FALSE(DirExists(tree / "Velto"));
    EXPECT_FALSE(DirExists(tree / "Vel"));
    SetCurrentDirectoryA(cwd.c_str());
}

}  // namespace
