// The language strings: the file parser and its bad inputs, the growable array under the table,
// loading the file from the installation folder, and LoadUiString's ring.
#include "support/device_fixture.h"

#include <windows.h>

#include "config/language.h"
#include "shell/mainwindow.h"

#include <cesim_heap.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using vexotest::kSettingsPath;
using vexotest::U16;

namespace {

const char16_t kLanguageFile[] = u"\\Program Files\\Vexo\\default.lng";

// UTF-16LE bytes of text, after the byte-order mark unless told otherwise.
std::vector<uint8_t> Utf16(const std::u16string& text, bool mark = true) {
    std::vector<uint8_t> bytes;
    if (mark) {
        bytes.push_back(0xFF);
        bytes.push_back(0xFE);
    }
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

int Read(LanguageTable& table, const std::vector<uint8_t>& bytes) {
    LanguageFileReader reader(bytes.data(), DWORD(bytes.size()));
    return table.Read(reader);
}

std::optional<std::u16string> Found(const LanguageTable& table, int id) {
    LPCWSTR text = table.Find(id);
    if (!text)
        return std::nullopt;
    return U16(text);
}

std::vector<int> Ids(const LanguageTable& table) {
    std::vector<int> ids;
    for (int i = 0; i < table.entries.count; ++i)
        ids.push_back(static_cast<LanguageEntry*>(table.entries.storage[i])->id);
    return ids;
}

std::u16string Repeat(char16_t c, size_t n) {
    return std::u16string(n, c);
}

std::u16string Entry(int id, const std::u16string& text) {
    return cesim::Widen(std::to_string(id)) + u"=\"" + text + u"\"\r\n";
}

// Every id once, ascending, and each one found with the text it holds.
void ExpectSortedAndFindable(const LanguageTable& table) {
    std::vector<int> ids = Ids(table);
    for (size_t i = 1; i < ids.size(); ++i)
        EXPECT_LT(ids[i - 1], ids[i]) << "at " << i;
    for (int i = 0; i < table.entries.count; ++i) {
        const LanguageEntry* e = static_cast<LanguageEntry*>(table.entries.storage[i]);
        EXPECT_EQ(table.Find(e->id), e->text) << e->id;
    }
}

// ---- the file format ----------------------------------------------------------------------

TEST(LanguageFile, EntriesGiveTheirIdsTextsAndNothingElseIsInTheTable) {
    LanguageTable table;
    ASSERT_EQ(Read(table, Utf16(u"40010=\"Anzeige aus\"\r\n"
                                u"40007 = \"&Minimieren\"\n"
                                u"\t 40012\t=  \"Quer &links\"\r\n"
                                u"40013abc=\"Quer &rechts\"\n"
                                u"-5=\"negative\"\n"
                                u"+6=\"plus\"")),
              1);
    EXPECT_EQ(Found(table, 40010), u"Anzeige aus");
    EXPECT_EQ(Found(table, 40007), u"&Minimieren");
    EXPECT_EQ(Found(table, 40012), u"Quer &links");
    EXPECT_EQ(Found(table, 40013), u"Quer &rechts");
    EXPECT_EQ(Found(table, -5), u"negative");
    EXPECT_EQ(Found(table, 6), u"plus");
    EXPECT_EQ(Found(table, 40016), std::nullopt);
    EXPECT_EQ(Ids(table), (std::vector<int>{-5, 6, 40007, 40010, 40012, 40013}));
}

TEST(LanguageFile, TheTextRunsFromTheFirstQuoteAfterTheEqualsSignToTheLastOne) {
    LanguageTable table;
    Read(table, Utf16(u"40007=\"say \"hi\" now\"\r\n"
                      u"40008=\"a=b\" trailing words\r\n"
                      u"4\"2=\"quoted id\"\n"
                      u"40009=x \"y\" z\n"
                      u"40010=\"wait; then go\"\n"));
    EXPECT_EQ(Found(table, 40007), u"say \"hi\" now");
    EXPECT_EQ(Found(table, 40008), u"a=b");
    EXPECT_EQ(Found(table, 4), u"quoted id");
    EXPECT_EQ(Found(table, 40009), u"y");
    EXPECT_EQ(Found(table, 40010), u"wait; then go");
}

TEST(LanguageFile, AdjacentQuotesGiveAnEmptyTextThatIsStillFound) {
    LanguageTable table;
    Read(table, Utf16(u"40007=\"\"\r\n"));
    ASSERT_NE(table.Find(40007), nullptr);
    EXPECT_EQ(Found(table, 40007), u"");
}

TEST(LanguageFile, LinesThatAreNotEntriesAreSkippedAndLoadingGoesOn) {
    LanguageTable table;
    ASSERT_EQ(Read(table, Utf16(u";40001=\"comment\"\r\n"
                                u"40002=\"kept\"\r\n"
                                u" ;40003=\"not a comment, but no number\"\r\n"
                                u"\r\n"
                                u"no equals sign \"here\"\r\n"
                                u"40004=\"after the empty and the plain line\"\n"
                                u"=\"no id\"\n"
                                u"abc=\"no number\"\n"
                                u"-=\"sign alone\"\n"
                                u"40005=\"one quote only\n"
                                u"40006=no quotes\n"
                                u"40007=\"last\"")),
              1);
    EXPECT_EQ(Ids(table), (std::vector<int>{40002, 40004, 40007}));
    EXPECT_EQ(Found(table, 40004), u"after the empty and the plain line");
}

TEST(LanguageFile, IdsSpanThe32BitRangeAndNumbersBeyondItAreSkipped) {
    LanguageTable table;
    Read(table, Utf16(u"2147483647=\"max\"\n"
                      u"-2147483648=\"min\"\n"
                      u"0=\"zero\"\n"
                      u"1=\"one\"\n"
                      u"-1=\"minus one\"\n"
                      u"2147483648=\"too big\"\n"
                      u"-2147483649=\"too small\"\n"
                      u"99999999999999999999=\"far too big\"\n"));
    EXPECT_EQ(Ids(table), (std::vector<int>{INT_MIN, -1, 0, 1, INT_MAX}));
    EXPECT_EQ(Found(table, INT_MAX), u"max");
    EXPECT_EQ(Found(table, INT_MIN), u"min");
    EXPECT_EQ(Found(table, -1), u"minus one");
    EXPECT_EQ(Found(table, 0), u"zero");
    EXPECT_EQ(table.entries.count, 5);
}

TEST(LanguageFile, AnIdGivenTwiceTakesTheLaterLine) {
    LanguageTable table;
    std::u16string text;
    for (int round = 0; round < 3; ++round)
        for (int id = 40004; id <= 40021; ++id)
            text += Entry(id, cesim::Widen(std::to_string(round)));
    text += Entry(40010, u"final");
    Read(table, Utf16(text));
    EXPECT_EQ(table.entries.count, 18);
    EXPECT_EQ(Found(table, 40010), u"final");
    EXPECT_EQ(Found(table, 40004), u"2");
    EXPECT_EQ(Found(table, 40021), u"2");
    ExpectSortedAndFindable(table);
}

TEST(LanguageFile, AFileWithoutAByteOrderMarkLosesItsFirstCharacter) {
    LanguageTable table;
    Read(table, Utf16(u"40007=\"first\"\r\n40008=\"second\"\r\n", false));
    EXPECT_EQ(Found(table, 40007), std::nullopt);
    EXPECT_EQ(Found(table, 7), u"first");
    EXPECT_EQ(Found(table, 40008), u"second");
}

TEST(LanguageFile, EmptyAndTinyFilesLoadNothing) {
    const std::vector<std::vector<uint8_t>> files = {
        {}, {0xFF}, {0xFF, 0xFE}, {0xFF, 0xFE, 0x34}, Utf16(u"\r\n\r\n")};
    for (const auto& bytes : files) {
        LanguageTable table;
        EXPECT_EQ(Read(table, bytes), 1) << bytes.size() << " bytes";
        EXPECT_EQ(table.entries.count, 0) << bytes.size() << " bytes";
        EXPECT_EQ(table.Find(0), nullptr);
    }
}

TEST(LanguageFile, AnOddLastByteIsNotACharacter) {
    std::vector<uint8_t> extra = Utf16(u"40007=\"x\"");
    extra.push_back('A');
    LanguageTable withExtra;
    Read(withExtra, extra);
    EXPECT_EQ(Found(withExtra, 40007), u"x");

    // Half of the closing quote is no quote: one quote is left, and the line is skipped.
    std::vector<uint8_t> cut = Utf16(u"40008=\"y\"\n40007=\"x\"");
    cut.pop_back();
    LanguageTable withCut;
    Read(withCut, cut);
    EXPECT_EQ(Ids(withCut), std::vector<int>{40008});
}

TEST(LanguageFile, BytesThatAreNotLittleEndianUtf16LoadNothing) {
    const std::string ascii = "\xEF\xBB\xBF"
                              "40007=\"Minimize\"\r\n40008=\"x\"\r\n";
    LanguageTable fromAscii;
    EXPECT_EQ(Read(fromAscii, std::vector<uint8_t>(ascii.begin(), ascii.end())), 1);
    EXPECT_EQ(fromAscii.entries.count, 0);

    std::vector<uint8_t> bigEndian = {0xFE, 0xFF};
    for (char16_t c : std::u16string(u"40007=\"x\"\r\n")) {
        bigEndian.push_back(uint8_t(c >> 8));
        bigEndian.push_back(uint8_t(c & 0xFF));
    }
    LanguageTable fromBigEndian;
    Read(fromBigEndian, bigEndian);
    EXPECT_EQ(fromBigEndian.entries.count, 0);

    // Every byte value in every position of a unit, with the odd length at the end.
    std::vector<uint8_t> noise;
    for (int round = 0; round < 7; ++round)
        for (int b = 0; b < 256; ++b)
            noise.push_back(uint8_t(b * (2 * round + 1)));
    noise.push_back(0x22);
    LanguageTable fromNoise;
    EXPECT_EQ(Read(fromNoise, noise), 1);
    ExpectSortedAndFindable(fromNoise);
}

TEST(LanguageFile, LinesLongerThanTheBufferAreParsedInPiecesOf1023) {
    // A piece of exactly 1023 characters, followed on the same line by another entry.
    const std::u16string a = Repeat(u'a', 1023 - 8);
    // A piece of 1023 characters whose line end makes a piece of its own.
    const std::u16string c = Repeat(u'c', 1023 - 8);
    // A text whose closing quote is beyond the first piece: no piece holds both quotes.
    const std::u16string q = Repeat(u'q', 2000);
    LanguageTable table;
    ASSERT_EQ(
        Read(table, Utf16(u"40007=\"" + a + u"\"40008=\"b\"\r\n" + u"40009=\"" + c + u"\"\r\n" +
                          u"40010=\"d\"\r\n" + Repeat(u'z', 5000) + u"\r\n" + u"40011=\"e\"\r\n" +
                          u"40012=\"" + q + u"\"\r\n" + u"40013=\"f\"\r\n")),
        1);
    EXPECT_EQ(Found(table, 40007), a);
    EXPECT_EQ(Found(table, 40008), u"b");
    EXPECT_EQ(Found(table, 40009), c);
    EXPECT_EQ(Found(table, 40010), u"d");
    EXPECT_EQ(Found(table, 40011), u"e");
    EXPECT_EQ(Found(table, 40012), std::nullopt);
    EXPECT_EQ(Found(table, 40013), u"f");
    EXPECT_EQ(table.entries.count, 6);
}

TEST(LanguageFile, ANulCharacterEndsWhatTheLineCanSay) {
    std::u16string text = u"40007=\"a";
    text += char16_t(0);
    text += u"b\"\r\n40008=\"x\"";
    text += char16_t(0);
    text += u"junk\"\r\n40009=\"y\"\r\n";
    LanguageTable table;
    Read(table, Utf16(text));
    EXPECT_EQ(Found(table, 40007), std::nullopt);
    EXPECT_EQ(Found(table, 40008), u"x");
    EXPECT_EQ(Found(table, 40009), u"y");
}

TEST(LanguageFile, TheArrayStartsAt35AndGrowsInStepsOf10) {
    LanguageTable empty;
    EXPECT_EQ(empty.entries.capacity, 35);
    EXPECT_EQ(empty.entries.growthStep, 10);
    EXPECT_EQ(empty.entries.state, 0);
    EXPECT_EQ(empty.entries.ownsElements, 0);
    EXPECT_EQ(empty.Find(40007), nullptr);

    std::u16string text;
    for (int i = 0; i < 50; ++i) {
        text += Entry(1000 - 7 * i, u"t" + cesim::Widen(std::to_string(i)));
        if (i == 34 || i == 35 || i == 45) {
            LanguageTable table;
            Read(table, Utf16(text));
            EXPECT_EQ(table.entries.capacity, i < 35 ? 35 : i < 45 ? 45 : 55) << i + 1;
        }
    }
    LanguageTable table;
    Read(table, Utf16(text));
    EXPECT_EQ(table.entries.count, 50);
    EXPECT_EQ(Found(table, 1000), u"t0");
    EXPECT_EQ(Found(table, 1000 - 7 * 49), u"t49");
    ExpectSortedAndFindable(table);
}

// ---- memory: what the table holds, and what it does when the heap runs out ----------------

class LanguageMemory : public vexotest::DeviceTest {
protected:
    std::u16string Entries(int n, int firstId = 40000) {
        std::u16string text;
        for (int i = 0; i < n; ++i)
            text += Entry(firstId + i, u"text " + cesim::Widen(std::to_string(i)));
        return text;
    }
};

TEST_F(LanguageMemory, DestroyingTheTableFreesEveryEntryAndDuplicate) {
    const size_t before = cesim::HeapBlocks();
    {
        LanguageTable table;
        Read(table, Utf16(Entries(60) + Entries(20)));
        EXPECT_EQ(table.entries.count, 60);
        // 60 entries and their texts, and the storage.
        EXPECT_EQ(cesim::HeapBlocks(), before + 121);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST_F(LanguageMemory, AnEntryThatCannotBeAllocatedIsSkipped) {
    const size_t before = cesim::HeapBlocks();
    for (int failing = 0; failing < 2; ++failing) {
        LanguageTable table;
        // Two blocks an entry: the record, then its text; the fourth entry's fails.
        cesim::FailAllocations(6 + failing, 1);
        Read(table, Utf16(Entries(6)));
        cesim::StopFailingAllocations();
        EXPECT_EQ(Ids(table), (std::vector<int>{40000, 40001, 40002, 40004, 40005}))
            << (failing ? "text" : "record");
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST_F(LanguageMemory, AFailedGrowthKeepsTheFirstEntriesAndDropsTheRest) {
    const size_t before = cesim::HeapBlocks();
    {
        LanguageTable table;
        // 35 entries, the 36th's record and text, then its growth fails.
        cesim::FailAllocations(72, 1);
        EXPECT_EQ(Read(table, Utf16(Entries(40))), 1);
        cesim::StopFailingAllocations();
        EXPECT_EQ(table.entries.state, 1);
        EXPECT_EQ(table.entries.count, 35);
        EXPECT_EQ(table.entries.capacity, 35);
        EXPECT_EQ(Found(table, 40000), u"text 0");
        EXPECT_EQ(Found(table, 40034), u"text 34");
        EXPECT_EQ(Found(table, 40035), std::nullopt);
        EXPECT_EQ(Found(table, 40039), std::nullopt);
        EXPECT_EQ(cesim::HeapBlocks(), before + 71);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST_F(LanguageMemory, ATableWhoseArrayCouldNotBeAllocatedTakesNothing) {
    const size_t before = cesim::HeapBlocks();
    {
        cesim::FailAllocations(0, 1);
        LanguageTable table;
        cesim::StopFailingAllocations();
        EXPECT_EQ(table.entries.state, 1);
        EXPECT_EQ(table.entries.capacity, 0);
        EXPECT_EQ(Read(table, Utf16(Entries(3))), 1);
        EXPECT_EQ(table.entries.count, 0);
        EXPECT_EQ(table.Find(40000), nullptr);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST_F(LanguageMemory, WithoutRoomToRankTheEntriesEachIdStillHasOneText) {
    const size_t before = cesim::HeapBlocks();
    {
        LanguageTable table;
        const std::u16string text = Entries(5) + Entries(5) + Entries(5);
        cesim::FailAllocations(30, 1);
        Read(table, Utf16(text));
        cesim::StopFailingAllocations();
        EXPECT_EQ(Ids(table), (std::vector<int>{40000, 40001, 40002, 40003, 40004}));
        ExpectSortedAndFindable(table);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

// ---- PtrArray ------------------------------------------------------------------------------
// The program is built without RTTI, so a test can't derive from the array to watch its
// virtual calls; an owning LanguageEntryArray shows its FreeItem calls on the counted heap.

void* Element(intptr_t n) {
    return reinterpret_cast<void*>(n);
}

std::vector<intptr_t> Contents(const PtrArray& a) {
    std::vector<intptr_t> v;
    for (int i = 0; i < a.count; ++i)
        v.push_back(reinterpret_cast<intptr_t>(a.storage[i]));
    return v;
}

std::vector<intptr_t> Range(intptr_t first, intptr_t last) {
    std::vector<intptr_t> v;
    for (intptr_t i = first; i <= last; ++i)
        v.push_back(i);
    return v;
}

void Fill(PtrArray& a, intptr_t n) {
    for (intptr_t i = 0; i < n; ++i)
        ASSERT_EQ(a.Add(Element(i)), int(i));
}

LanguageEntry* NewEntry(int id) {
    const std::u16string text = u"text " + cesim::Widen(std::to_string(id));
    LanguageEntry* e = new (std::nothrow) LanguageEntry;
    e->id = id;
    e->text = static_cast<WCHAR*>(cesim_malloc((text.size() + 1) * sizeof(WCHAR)));
    std::copy(text.begin(), text.end(), e->text);
    e->text[text.size()] = 0;
    return e;
}

void FillEntries(LanguageEntryArray& a, int n) {
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(a.Add(NewEntry(i)), i);
}

// The ids of the entries held, each read through its text as well.
std::vector<intptr_t> EntryIds(const PtrArray& a) {
    std::vector<intptr_t> ids;
    for (int i = 0; i < a.count; ++i) {
        const LanguageEntry* e = static_cast<LanguageEntry*>(a.storage[i]);
        EXPECT_EQ(U16(e->text), u"text " + cesim::Widen(std::to_string(e->id)));
        ids.push_back(e->id);
    }
    return ids;
}

TEST(PtrArray, GrowsByItsStepWhenFullAndKeepsItsElements) {
    PtrArray a(3, 2);
    EXPECT_EQ(a.capacity, 3);
    const int expected[] = {3, 3, 3, 5, 5, 7, 7};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(a.Add(Element(i)), i);
        EXPECT_EQ(a.capacity, expected[i]) << i;
    }
    EXPECT_EQ(Contents(a), Range(0, 6));
    EXPECT_EQ(a.state, 0);

    PtrArray raised(0, -4);
    EXPECT_EQ(raised.initialCapacity, 1);
    EXPECT_EQ(raised.growthStep, 1);
    Fill(raised, 3);
    EXPECT_EQ(raised.capacity, 3);
}

TEST_F(LanguageMemory, AFailedGrowthSetsState1AndRefusesEveryLaterElement) {
    PtrArray a(2, 2);
    Fill(a, 2);
    cesim::FailAllocations(0, 1);
    EXPECT_EQ(a.Add(Element(2)), -1);
    cesim::StopFailingAllocations();
    EXPECT_EQ(a.state, 1);
    EXPECT_EQ(a.capacity, 2);
    EXPECT_EQ(Contents(a), Range(0, 1));
    // Room made by a removal is not used either.
    a.RemoveRange(1, 1);
    EXPECT_EQ(a.Add(Element(3)), -1);
    EXPECT_EQ(Contents(a), Range(0, 0));

    // A step that would take the capacity past 32 bits fails the same way, without asking.
    PtrArray huge(1, INT_MAX);
    Fill(huge, 1);
    EXPECT_EQ(huge.Add(Element(1)), -1);
    EXPECT_EQ(huge.state, 1);
    EXPECT_EQ(huge.capacity, 1);
}

TEST(PtrArray, SetErrorKeepsTheFirstFailureAndReturnsThePreviousState) {
    PtrArray a(1, 1);
    EXPECT_EQ(a.SetError(1), 0);
    EXPECT_EQ(a.state, 1);
    EXPECT_EQ(a.SetError(5), 1);
    EXPECT_EQ(a.state, 1);
    EXPECT_EQ(a.Add(Element(0)), -1);
}

TEST_F(LanguageMemory, RemoveRangeFreesExactlyTheRangeAndMovesTheRestDown) {
    const size_t before = cesim::HeapBlocks();
    {
        LanguageEntryArray a(35, 10);
        FillEntries(a, 60);
        const size_t full = cesim::HeapBlocks();
        a.RemoveRange(10, 20);
        EXPECT_EQ(cesim::HeapBlocks(), full - 40);
        std::vector<intptr_t> rest = Range(0, 9);
        for (intptr_t i = 30; i < 60; ++i)
            rest.push_back(i);
        EXPECT_EQ(EntryIds(a), rest);
        a.RemoveRange(38, 2);
        rest.resize(38);
        EXPECT_EQ(EntryIds(a), rest);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST(PtrArray, RemoveRangeShrinksToTheSmallestStepThatHoldsTheRest) {
    // From 60 elements in 65 slots (35 then steps of 10) down to `left` elements.
    const struct {
        int left;
        int capacity;
    } cases[] = {{56, 65}, {55, 55}, {46, 55}, {45, 45}, {36, 45}, {35, 35}, {1, 35}, {0, 35}};
    for (const auto& c : cases) {
        PtrArray a(35, 10);
        Fill(a, 60);
        ASSERT_EQ(a.capacity, 65);
        a.RemoveRange(0, 60 - c.left);
        EXPECT_EQ(a.count, c.left);
        EXPECT_EQ(a.capacity, c.capacity) << c.left << " left";
        EXPECT_EQ(a.state, 0);
        EXPECT_EQ(Contents(a), Range(60 - c.left, 59));
    }
    // Removing one at a time shrinks only once a whole step is free.
    PtrArray b(35, 10);
    Fill(b, 46);
    EXPECT_EQ(b.capacity, 55);
    b.RemoveRange(45, 1);
    EXPECT_EQ(b.capacity, 45);
    b.RemoveRange(40, 1);
    EXPECT_EQ(b.capacity, 45);
}

TEST_F(LanguageMemory, RemovalsOutsideTheElementsChangeNothing) {
    LanguageEntryArray a(4, 2);
    FillEntries(a, 5);
    const size_t full = cesim::HeapBlocks();
    const struct {
        int first;
        int n;
    } bad[] = {{-1, 1}, {0, -1}, {0, 0}, {3, 3}, {5, 1}, {6, 0}, {1, INT_MAX}, {INT_MAX, 1}};
    for (const auto& r : bad)
        a.RemoveRange(r.first, r.n);
    EXPECT_EQ(cesim::HeapBlocks(), full);
    EXPECT_EQ(EntryIds(a), Range(0, 4));
    EXPECT_EQ(a.state, 0);
}

TEST_F(LanguageMemory, AFailedShrinkKeepsTheStorageAndSetsState1) {
    PtrArray a(2, 2);
    Fill(a, 6);
    cesim::FailAllocations(0, 1);
    a.RemoveRange(0, 4);
    cesim::StopFailingAllocations();
    EXPECT_EQ(a.state, 1);
    EXPECT_EQ(a.capacity, 6);
    EXPECT_EQ(Contents(a), Range(4, 5));
}

TEST_F(LanguageMemory, FreeAllFreesEveryElementOnceAndRetiresTheArray) {
    const size_t before = cesim::HeapBlocks();
    LanguageEntryArray a(2, 2);
    FillEntries(a, 3);
    a.FreeAll();
    EXPECT_EQ(cesim::HeapBlocks(), before);
    EXPECT_EQ(a.state, 9);
    EXPECT_EQ(a.storage, nullptr);
    EXPECT_EQ(a.count, 0);
    a.FreeAll();
    a.RemoveRange(0, 1);
    LanguageEntry* refused = NewEntry(7);
    EXPECT_EQ(a.Add(refused), -1);
    EXPECT_EQ(a.state, 9);
    cesim_free(refused->text);
    delete refused;
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST_F(LanguageMemory, AnEntryArrayFreesItsEntriesWhenDestroyedOnlyIfItOwnsThem) {
    const size_t before = cesim::HeapBlocks();
    LanguageEntry* kept = NewEntry(1);
    {
        LanguageEntryArray borrowing(2, 1);
        borrowing.ownsElements = 0;
        borrowing.Add(kept);
    }
    EXPECT_EQ(U16(kept->text), u"text 1");
    {
        LanguageEntryArray owning(2, 1);
        EXPECT_EQ(owning.ownsElements, 1);
        owning.Add(kept);
        owning.Add(NewEntry(2));
        owning.Add(NewEntry(3));
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);

    // An array whose growth failed still holds, and so still frees, what it took.
    {
        LanguageEntryArray owning(1, 1);
        owning.Add(NewEntry(1));
        cesim::FailAllocations(0, 1);
        EXPECT_EQ(owning.Add(nullptr), -1);
        cesim::StopFailingAllocations();
        EXPECT_EQ(owning.state, 1);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

#if defined(__GXX_ABI_VERSION) && defined(__x86_64__)
// The Itanium C++ ABI gives a pointer to a virtual member 1 + its byte offset in the vtable;
// the destructor takes the first two slots (complete and deleting).
template <class F> ptrdiff_t VtableSlot(F member) {
    ptrdiff_t representation[2];
    static_assert(sizeof member == sizeof representation);
    std::memcpy(representation, &member, sizeof representation);
    return (representation[0] - 1) / ptrdiff_t(sizeof(void*));
}

TEST(PtrArray, VirtualOperationsTakeTheirSlotsInOrder) {
    EXPECT_EQ(VtableSlot(&PtrArray::FreeItem), 2);
    EXPECT_EQ(VtableSlot(&PtrArray::SetError), 3);
    EXPECT_EQ(VtableSlot(&LanguageEntryArray::FreeItem), 2);
}
#endif

// ---- loading from the installation folder -------------------------------------------------

void WriteDeviceFile(const std::u16string& devicePath, const std::vector<uint8_t>& bytes) {
    const std::string host = cesim::HostPath(devicePath);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Opening for writing with no sharing succeeds only when nobody holds the file open.
bool FileIsClosed(const std::u16string& devicePath) {
    std::vector<WCHAR> path(devicePath.begin(), devicePath.end());
    path.push_back(0);
    HANDLE h = CreateFileW(path.data(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

class LanguageLoad : public vexotest::DeviceTest {
protected:
    void SetInstallDir(const std::u16string& folder) {
        cesim::reg::SetString(kSettingsPath, "InstallDir", folder);
    }
    std::optional<std::u16string> Path() {
        WCHAR* path = GetLanguageFilePath();
        EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
        if (!path)
            return std::nullopt;
        std::u16string result = U16(path);
        cesim_free(path);
        return result;
    }
};

TEST_F(LanguageLoad, ThePathIsAStringInstallDirABackslashAndDefaultLng) {
    EXPECT_EQ(Path(), std::nullopt); // no key
    cesim::reg::SetDword(kSettingsPath, "Unrelated", 1);
    EXPECT_EQ(Path(), std::nullopt); // no value
    const std::vector<uint8_t> bare = Utf16(u"\\Vexo", false);
    std::vector<uint8_t> halfMore = bare;
    halfMore.push_back('X');
    const struct {
        DWORD type;
        std::vector<uint8_t> data;
        std::optional<std::u16string> path;
    } cases[] = {
        {REG_SZ, Utf16(u"\\Program Files\\Vexo" + std::u16string(1, 0), false),
         u"\\Program Files\\Vexo\\default.lng"},
        {REG_EXPAND_SZ, Utf16(u"\\Program Files\\Vexo" + std::u16string(1, 0), false),
         u"\\Program Files\\Vexo\\default.lng"},
        {REG_SZ, Utf16(u"\\Storage Card\\Vexo\\" + std::u16string(1, 0), false),
         u"\\Storage Card\\Vexo\\\\default.lng"},
        // Stored without a terminator, and with half a character after it.
        {REG_SZ, bare, u"\\Vexo\\default.lng"},
        {REG_EXPAND_SZ, halfMore, u"\\Vexo\\default.lng"},
        // An empty folder is the root.
        {REG_SZ, {0, 0}, u"\\default.lng"},
        {REG_SZ, {}, u"\\default.lng"},
        {REG_EXPAND_SZ, {'\\'}, u"\\default.lng"},
        // Anything but a string names no folder.
        {REG_DWORD, {0x5C, 0, 0, 0}, std::nullopt},
        {REG_BINARY, bare, std::nullopt},
        {REG_MULTI_SZ, Utf16(u"\\Vexo" + std::u16string(2, 0), false), std::nullopt},
        {REG_NONE, bare, std::nullopt},
        // Nor does a text longer than any path.
        {REG_SZ, Utf16(Repeat(u'd', 5000), false), std::nullopt},
    };
    for (const auto& c : cases) {
        cesim::reg::SetValue(kSettingsPath, "InstallDir", c.type, c.data);
        EXPECT_EQ(Path(), c.path) << "type " << c.type << ", " << c.data.size() << " bytes";
    }
}

TEST_F(LanguageLoad, LoadReadsTheFileOfTheInstallationFolderAndClosesIt) {
    SetInstallDir(u"\\Program Files\\Vexo");
    WriteDeviceFile(kLanguageFile, Utf16(u"; German\r\n40010=\"Anzeige aus\"\r\n"
                                         u"40016=\"&Beenden\"\r\n"));
    const size_t before = cesim::HeapBlocks();
    {
        LanguageTable table;
        EXPECT_EQ(table.Load(), 1);
        EXPECT_EQ(Found(table, 40010), u"Anzeige aus");
        EXPECT_EQ(Found(table, 40016), u"&Beenden");
        EXPECT_EQ(Found(table, 40007), std::nullopt);
        EXPECT_TRUE(FileIsClosed(kLanguageFile));
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
    EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
}

TEST_F(LanguageLoad, AFileReadInChunksGivesWhatTheSameBytesGiveInMemory) {
    SetInstallDir(u"\\Program Files\\Vexo");
    std::u16string text;
    for (int i = 0; i < 400; ++i)
        text += Entry(i * 13 % 401, Repeat(char16_t(u'A' + i % 26), size_t(i % 37))) +
                (i % 5 ? u"" : u";comment\n");
    const std::vector<uint8_t> bytes = Utf16(text);
    WriteDeviceFile(kLanguageFile, bytes);
    LanguageTable fromFile;
    ASSERT_EQ(fromFile.Load(), 1);
    LanguageTable fromMemory;
    Read(fromMemory, bytes);
    ASSERT_EQ(Ids(fromFile), Ids(fromMemory));
    EXPECT_EQ(fromFile.entries.count, 400);
    for (int id : Ids(fromMemory))
        EXPECT_EQ(Found(fromFile, id), Found(fromMemory, id)) << id;
}

TEST_F(LanguageLoad, WithoutKeyValueOrFileTheTableStaysEmpty) {
    const auto expectEmpty = [](const char* why) {
        LanguageTable table;
        EXPECT_EQ(table.Load(), 0) << why;
        EXPECT_EQ(table.entries.count, 0) << why;
        EXPECT_EQ(table.Find(40010), nullptr) << why;
    };
    const size_t before = cesim::HeapBlocks();
    WriteDeviceFile(kLanguageFile, Utf16(u"40010=\"Anzeige aus\"\r\n"));
    expectEmpty("no key");
    cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
    expectEmpty("no InstallDir");
    SetInstallDir(u"\\Program Files\\Elsewhere");
    expectEmpty("no file");
    SetInstallDir(u"\\Program Files\\Vexo");
    cesim::InjectFailure("CreateFileW", ERROR_SHARING_VIOLATION, 1);
    expectEmpty("the file does not open");
    EXPECT_EQ(cesim::HeapBlocks(), before);
    EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
}

TEST_F(LanguageLoad, AReadErrorIsNotReportedAsSuccess) {
    SetInstallDir(u"\\Program Files\\Vexo");
    WriteDeviceFile(kLanguageFile, Utf16(u"40010=\"Anzeige aus\"\r\n"));
    const size_t before = cesim::HeapBlocks();
    {
        LanguageTable table;
        cesim::InjectFailure("ReadFile", ERROR_SHARING_VIOLATION);
        EXPECT_EQ(table.Load(), 0);
        cesim::ClearFailures();
        EXPECT_EQ(table.Find(40010), nullptr);
        EXPECT_TRUE(FileIsClosed(kLanguageFile));
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

// ---- LoadUiString ----------------------------------------------------------------------------

// A process whose module carries the resources LoadStringW reads, idle for as long as the
// test runs; the test borrows its instance as the program's.
std::atomic<HINSTANCE> hostInstance{nullptr};

int ResourceHost(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    hostInstance = instance;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
    }
    return 0;
}

void Put16(std::vector<uint8_t>& v, unsigned x) {
    v.push_back(uint8_t(x & 0xFF));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// A .res holding one string table block: strings 16 * (block - 1) onwards.
std::vector<uint8_t> StringBlockSection(unsigned block, const std::vector<std::u16string>& texts) {
    std::vector<uint8_t> data;
    for (const auto& t : texts) {
        Put16(data, unsigned(t.size()));
        for (char16_t c : t)
            Put16(data, c);
    }
    std::vector<uint8_t> res(32, 0);
    res[4] = 32;
    res[8] = res[9] = res[12] = res[13] = 0xFF;
    Put32(res, uint32_t(data.size()));
    Put32(res, 32);
    Put16(res, 0xFFFF);
    Put16(res, 6);
    Put16(res, 0xFFFF);
    Put16(res, block);
    Put32(res, 0);
    Put16(res, 0x1030);
    Put16(res, 1033);
    Put32(res, 0);
    Put32(res, 0);
    res.insert(res.end(), data.begin(), data.end());
    while (res.size() % 4)
        res.push_back(0);
    return res;
}

class LoadUiStringTest : public vexotest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(AllocateStringRing());
    }
    void TearDown() override {
        DestroyLanguageTable();
        FreeStringRing();
        appInstance = nullptr;
        DeviceTest::TearDown();
    }
    void UseResources(std::vector<uint8_t> resources) {
        hostInstance = nullptr;
        cesim::ProgramImage image;
        image.entry = ResourceHost;
        image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
        image.resources = std::move(resources);
        cesim::StartProgram(image);
        cesim::Settle();
        ASSERT_NE(hostInstance.load(), nullptr);
        appInstance = hostInstance;
    }
    void UseTable(const std::u16string& fileText) {
        languageTable = new (std::nothrow) LanguageTable;
        Read(*languageTable, Utf16(fileText));
    }
    std::u16string Load(int id) { return U16(LoadUiString(id)); }
    ptrdiff_t Offset(LPCWSTR text) { return text - stringRing; }
};

TEST_F(LoadUiStringTest, WithoutAFileEveryTextComesFromTheStringTable) {
    UseResources(cesim::ProgramResourceSection());
    const char16_t* english[] = {u"Are you sure to soft-reset the device?",
                                 u"Vexo",
                                 u"'%s' does not respond.\nKill forcibly?",
                                 u"&Minimize",
                                 u"Close &Background Tasks",
                                 u"Close &All Tasks",
                                 u"Display O&ff",
                                 u"Software &Reset",
                                 u"&Landscape Left",
                                 u"La&ndscape Right",
                                 u"Po&wer Off",
                                 u"&Settings...",
                                 u"E&xit",
                                 u"Desktop",
                                 u"WiFi On",
                                 u"WiFi Off",
                                 u"Bluetooth On",
                                 u"Bluetooth Off"};
    for (int id = 40004; id <= 40021; ++id)
        EXPECT_EQ(Load(id), english[id - 40004]) << id;
    // An empty table answers nothing either.
    UseTable(u"");
    EXPECT_EQ(Load(40016), u"E&xit");
}

TEST_F(LoadUiStringTest, FileTextsWinAndMissingIdsFallBackToTheStringTable) {
    UseResources(cesim::ProgramResourceSection());
    UseTable(u"40010=\"Anzeige aus\"\r\n40007=\"\"\r\n");
    LPCWSTR display = LoadUiString(40010);
    EXPECT_EQ(display, languageTable->Find(40010));
    EXPECT_EQ(U16(display), u"Anzeige aus");
    // An empty text from the file is a text: no fallback, and nothing put in the ring.
    EXPECT_EQ(Load(40007), u"");
    EXPECT_EQ(stringRingCursor, stringRing);

    LPCWSTR exit = LoadUiString(40016);
    EXPECT_EQ(U16(exit), u"E&xit");
    EXPECT_EQ(Offset(exit), 0);
    LPCWSTR desktop = LoadUiString(40017);
    EXPECT_EQ(Offset(desktop), 6);
    EXPECT_EQ(Offset(stringRingCursor), 14);
    EXPECT_EQ(U16(exit), u"E&xit");
}

TEST_F(LoadUiStringTest, MissingStringsAndAMissingRingGiveTheErrorTexts) {
    UseResources(cesim::ProgramResourceSection());
    UseTable(u"40010=\"Anzeige aus\"\r\n");
    EXPECT_EQ(Load(40022), u"ERROR LOADING STRING");
    EXPECT_EQ(Load(40003), u"ERROR LOADING STRING");
    EXPECT_EQ(stringRingCursor, stringRing);

    FreeStringRing();
    EXPECT_EQ(Load(40016), u"ERROR LOADING STRING - INSUFFICIENT MEMORY");
    EXPECT_EQ(Load(40010), u"Anzeige aus");
}

TEST_F(LoadUiStringTest, AProgramWithoutStringsGetsTheLoadError) {
    appInstance = nullptr;
    EXPECT_EQ(Load(40016), u"ERROR LOADING STRING");
}

TEST_F(LoadUiStringTest, SixtyCharacterTextsWrapAroundAtTheFifteenth) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < 16; ++i)
        texts.push_back(Repeat(char16_t(u'a' + i), 60));
    UseResources(StringBlockSection(1, texts));
    std::vector<LPCWSTR> placed;
    for (int id = 0; id < 14; ++id) {
        placed.push_back(LoadUiString(id));
        EXPECT_EQ(Offset(placed.back()), 61 * id) << id;
    }
    // 1024 - 14 * 61 = 170 characters are left, fewer than 200.
    LPCWSTR fifteenth = LoadUiString(14);
    EXPECT_EQ(fifteenth, stringRing);
    EXPECT_EQ(U16(fifteenth), texts[14]);
    EXPECT_EQ(U16(placed[0]), texts[14]);
    EXPECT_EQ(U16(placed[1]), texts[1]);
    EXPECT_EQ(Offset(LoadUiString(15)), 61);
}

TEST_F(LoadUiStringTest, TheRingStartsOverOnlyWhenFewerThan200CharactersAreFree) {
    UseResources(StringBlockSection(1, {Repeat(u'x', 823), u"y", u"z"}));
    EXPECT_EQ(Offset(LoadUiString(0)), 0);
    // Exactly 200 left: the text still goes at the cursor.
    EXPECT_EQ(Offset(LoadUiString(1)), 824);
    // 198 left.
    LPCWSTR z = LoadUiString(2);
    EXPECT_EQ(Offset(z), 0);
    EXPECT_EQ(U16(z), u"z");
}

TEST_F(LoadUiStringTest, ATextThatFilledTheRestOfTheRingIsLoadedAgainAtItsStart) {
    const std::u16string whole = Repeat(u'w', 300);
    UseResources(StringBlockSection(1, {Repeat(u'p', 386), whole, Repeat(u'm', 1500)}));
    LoadUiString(0);
    LoadUiString(0);
    ASSERT_EQ(Offset(stringRingCursor), 774);
    // 250 left: the first load is cut to 249 characters, the second gets all 300.
    LPCWSTR text = LoadUiString(1);
    EXPECT_EQ(Offset(text), 0);
    EXPECT_EQ(U16(text), whole);
    EXPECT_EQ(Offset(stringRingCursor), 301);
    // The one second try, at the start, can only cut a text longer than the ring to fit.
    LPCWSTR longest = LoadUiString(2);
    EXPECT_EQ(Offset(longest), 0);
    EXPECT_EQ(U16(longest), Repeat(u'm', 1023));
    EXPECT_EQ(Offset(stringRingCursor), 1024);
    EXPECT_EQ(Offset(LoadUiString(1)), 0);
}

TEST_F(LoadUiStringTest, CreateLanguageTableLoadsTheFileOnceAndDestroyFreesIt) {
    UseResources(cesim::ProgramResourceSection());
    cesim::reg::SetString(kSettingsPath, "InstallDir", u"\\Program Files\\Vexo");
    WriteDeviceFile(kLanguageFile, Utf16(u"40016=\"&Beenden\"\r\n"));
    const size_t before = cesim::HeapBlocks();
    CreateLanguageTable();
    ASSERT_NE(languageTable, nullptr);
    LanguageTable* first = languageTable;
    CreateLanguageTable();
    EXPECT_EQ(languageTable, first);
    EXPECT_EQ(Load(40016), u"&Beenden");
    EXPECT_EQ(Load(40017), u"Desktop");
    DestroyLanguageTable();
    EXPECT_EQ(languageTable, nullptr);
    EXPECT_EQ(cesim::HeapBlocks(), before);
    EXPECT_EQ(Load(40016), u"E&xit");

    // A table that can't be allocated leaves every text to the string table.
    cesim::FailAllocations(0, 1);
    CreateLanguageTable();
    cesim::StopFailingAllocations();
    EXPECT_EQ(languageTable, nullptr);
    EXPECT_EQ(Load(40016), u"E&xit");
}

} // namespace
