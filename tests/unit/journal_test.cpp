// The on-disk journal of a running installation and what a record keeps of
// a replaced item: read back whole, or up to the last complete entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal_scope.h"
#include "product.h"
#include "uninstall_log.h"

namespace {

std::string JournalOf(const std::vector<std::unique_ptr<UninstallRecord>>& records) {
    std::string bytes(kJournalMagic, sizeof kJournalMagic);
    for (const auto& r : records) bytes += EncodeJournalEntry(*r);
    return bytes;
}

std::vector<std::unique_ptr<UninstallRecord>> SampleRecords() {
    std::vector<std::unique_ptr<UninstallRecord>> records;
    records.push_back(MakeRecord(ukDirectory, "C:\\Apps\\Velto", 0));
    records.push_back(MakeRecord(ukFile, "C:\\Apps\\Velto\\README.TXT", 0));
    records.back()->Kept = "C:\\Apps\\Velto\\~KEPT0.TMP";
    records.push_back(MakeRecord(ukRegistryKey, "Software\\Velto", kHKeyLocalMachine));
    records.back()->Kept = EncodeKeptValues({{"DisplayName", true, 1, "Old"}, {"UninstallString", false, 1, ""}});
    return records;
}

TEST(Journal, ReadsBackEveryCompleteEntryAndStopsAtDamage) {
    const auto records = SampleRecords();
    const std::string whole = JournalOf(records);
    const size_t lastEntry = EncodeJournalEntry(*records.back()).size();

    std::string flipped = whole;
    flipped[whole.size() - lastEntry + 10] ^= 1;  // a byte of the last entry's record
    std::string badMagic = whole;
    badMagic[0] = 'X';
    const struct {
        const char* what;
        std::string bytes;
        size_t expected;
    } cases[] = {
        {"whole", whole, 3},
        {"cut inside the last entry", whole.substr(0, whole.size() - 1), 2},
        {"cut inside the last entry's length", whole.substr(0, whole.size() - lastEntry + 2), 2},
        {"last entry damaged", flipped, 2},
        {"trailing garbage after complete entries", whole + "junk", 3},
        {"only the header", std::string(kJournalMagic, sizeof kJournalMagic), 0},
        {"not a journal", badMagic, 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = DecodeJournal(c.bytes);
        ASSERT_EQ(read.size(), c.expected);
        for (size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i]->Kind, records[i]->Kind);
            EXPECT_EQ(read[i]->Path(), records[i]->Path());
            EXPECT_EQ(read[i]->RootKey, records[i]->RootKey);
            EXPECT_EQ(read[i]->Kept, records[i]->Kept);
        }
    }
}

TEST(Journal, KeptValuesRoundTripAndRefuseMalformedBytes) {
    const std::vector<KeptValue> values = {
        {"DisplayName", true, 1, "Velto - Technology Demo"},
        {"UninstallString", false, 1, ""},
        {"Binary", true, 3, std::string("\0\1\2", 3)},
    };
    std::vector<KeptValue> back;
    ASSERT_TRUE(DecodeKeptValues(EncodeKeptValues(values), back));
    ASSERT_EQ(back.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back[i].Name, values[i].Name);
        EXPECT_EQ(back[i].Existed, values[i].Existed);
        EXPECT_EQ(back[i].Type, values[i].Type);
        EXPECT_EQ(back[i].Data, values[i].Data);
    }
    const std::string good = EncodeKeptValues(values);
    for (size_t cut = 1; cut < good.size(); ++cut) {
        // Every cut either lands on a value boundary or is refused.
        std::vector<KeptValue> partial;
        if (DecodeKeptValues(good.substr(0, cut), partial)) {
            EXPECT_LT(partial.size(), values.size());
        }
    }
    std::string badFlag = EncodeKeptValues({values[0]});
    badFlag[4 + values[0].Name.size()] = 7;
    EXPECT_FALSE(DecodeKeptValues(badFlag, back));
}

// A journal hears of every pushed record, in order, before anything else
// can happen to the item.
struct Recorder : UninstallLogJournal {
    std::vector<std::string> pushed;
    int discarded = 0;
    void Pushed(const UninstallRecord& r) override { pushed.push_back(r.Path() + "|" + r.Kept); }
    void Discard() override { ++discarded; }
};

TEST(Journal, PushRecordTellsTheJournalAndRefusesPathsItCannotHoldWhole) {
    UninstallLog log;
    Recorder journal;
    log.Journal = &journal;
    PushRecord(log, ukDirectory, "C:\\A", 0);
    PushRecord(log, ukFile, "C:\\A\\f", 0, "C:\\A\\~KEPT0.TMP");
    const std::string longest = "C:\\" + std::string(252, 'p');  // 255 bytes: fits
    PushRecord(log, ukFile, longest, 0);
    EXPECT_EQ(journal.pushed, (std::vector<std::string>{"C:\\A|", "C:\\A\\f|C:\\A\\~KEPT0.TMP", longest + "|"}));
    EXPECT_THROW(PushRecord(log, ukFile, longest + "x", 0), EPathTooLong);
    EXPECT_EQ(log.Size(), 3u);
    EXPECT_EQ(journal.pushed.size(), 3u);
}

}  // namespace

namespace {

struct Item {
    UninstallKind Kind;
    const char* Path;
    std::string Kept;
};

std::vector<std::unique_ptr<UninstallRecord>> Records(const std::vector<Item>& items) {
    std::vector<std::unique_ptr<UninstallRecord>> records;
    for (const Item& i : items) {
        records.push_back(MakeRecord(i.Kind, i.Path, i.Kind == ukRegistryKey ? kUninstallRoot : 0));
        records.back()->Kept = i.Kept;
    }
    return records;
}

}  // namespace

// Recovery acts only on what an installation of the product makes; the
// first item beyond that is named.
TEST(Journal, RecoveryActsOnlyOnWhatAnInstallationMakes) {
    const JournalScope scope = {"C:\\Users\\ann\\Start Menu\\Programs", "C:\\Windows"};
    const char* programs = "C:\\Users\\ann\\Start Menu\\Programs\\Velto";
    const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey;
    // An earlier entry's values: whatever it held of the entry's own.
    const std::string earlierEntry = EncodeKeptValues({{"DisplayName", true, 1, "Old"},
                                                       {"estimatedsize", true, 4, std::string("\x05\0\0\0", 4)},
                                                       {"QuietUninstallString", false, 1, ""}});
    struct Case {
        const char* what;
        std::vector<Item> items;
        std::string outOfScope;  // empty: acted on
    };
    const Case cases[] = {
        {"a whole installation, levels made above the destination",
         {{ukDirectory, "C:\\Apps", ""},
          {ukDirectory, "C:\\Apps\\Velto", ""},
          {ukDirectory, "C:\\Apps\\Velto\\DLL", ""},
          {ukFile, "C:\\Apps\\Velto\\VELTO.EXE", "C:\\Apps\\Velto\\~KEPT0.TMP"},
          {ukFile, "C:\\Apps\\Velto\\DLL\\WSOCK32.DLL", ""},
          {ukDirectory, programs, ""},
          {ukFile, "C:\\Users\\ann\\Start Menu\\Programs\\Velto\\velto.LNK", ""},
          {ukFile, "C:\\Users\\ann\\Start Menu\\Programs\\Velto\\Velto Documentation.lnk", ""},
          {ukRegistryKey, kUninstallKey, earlierEntry}},
         ""},
        {"folders only, before any file", {{ukDirectory, "D:\\V", ""}, {ukDirectory, "D:\\V\\Upload", ""}}, ""},
        {"a file at a drive's root", {{ukFile, "C:\\victim.txt", ""}}, "C:\\victim.txt"},
        {"a file far from the others",
         {{ukFile, "C:\\Apps\\Velto\\A.TXT", ""}, {ukFile, "D:\\victim.txt", ""}},
         "D:\\victim.txt"},
        {"inside the Windows folder", {{ukFile, "C:\\Windows\\System32\\x.dll", ""}}, "C:\\Windows\\System32\\x.dll"},
        {"a folder above the Windows folder", {{ukDirectory, "C:\\", ""}}, "C:\\"},
        {"the Programs folder itself",
         {{ukDirectory, "C:\\Users\\ann\\Start Menu\\Programs", ""}},
         "C:\\Users\\ann\\Start Menu\\Programs"},
        {"another file under Programs",
         {{ukFile, "C:\\Users\\ann\\Start Menu\\Programs\\Other\\Other.lnk", ""}},
         "C:\\Users\\ann\\Start Menu\\Programs\\Other\\Other.lnk"},
        {"another key", {{ukRegistryKey, "Software\\VictimKey", ""}}, "HKEY_LOCAL_MACHINE\\Software\\VictimKey"},
        {"a kept value the entry does not have",
         {{ukRegistryKey, kUninstallKey,
           EncodeKeptValues({{"DisplayName", true, 1, "x"}, {"Run", true, 1, "C:\\x.exe"}})}},
         key + "\\Run"},
        {"kept values that do not decode", {{ukRegistryKey, kUninstallKey, "kept values"}}, key},
        {"a kept copy of another name",
         {{ukFile, "C:\\Apps\\Velto\\A.TXT", "C:\\Apps\\Velto\\secret.doc"}},
         "C:\\Apps\\Velto\\secret.doc"},
        {"a kept copy in another folder",
         {{ukFile, "C:\\Apps\\Velto\\A.TXT", "C:\\Apps\\~KEPT1.TMP"}},
         "C:\\Apps\\~KEPT1.TMP"},
        {"a climb out of the destination", {{ukFile, "C:\\Apps\\Velto\\..\\..\\x", ""}}, "C:\\Apps\\Velto\\..\\..\\x"},
        {"a relative path", {{ukFile, "Velto\\A.TXT", ""}}, "Velto\\A.TXT"},
        {"a data stream", {{ukFile, "C:\\Apps\\Velto\\A.TXT:s", ""}}, "C:\\Apps\\Velto\\A.TXT:s"},
    };
    for (const Case& c : cases) EXPECT_EQ(JournalItemOutOfScope(Records(c.items), scope), c.outOfScope) << c.what;
}
