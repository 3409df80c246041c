// The diagnostic log: levels, line format, the file's life and its failure paths, and
// writers on several threads.
#include "support/device_fixture.h"

#include <windows.h>

#include "config/log.h"

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::string ReadHostFile(const std::u16string& devicePath) {
    std::ifstream in(cesim::HostPath(devicePath), std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteHostFile(const std::u16string& devicePath, const std::string& text) {
    std::ofstream out(cesim::HostPath(devicePath), std::ios::binary);
    out << text;
}

class LogTest : public vexotest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SYSTEMTIME base = {2026, 12, 2, 8, 9, 5, 31, 0};
        cesim::SetLocalTimeBase(base);
    }
};

TEST_F(LogTest, LevelZeroNeverTouchesTheFile) {
    WriteHostFile(u"\\vexo.log", "old lines\n");
    {
        Log log(L"\\vexo.log", 0);
        log.Write(1, "OnCreate()");
        EXPECT_EQ(log.file, nullptr);
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "old lines\n");
    {
        Log log(L"\\absent.log", 0);
        log.Write(1, "x");
    }
    EXPECT_EQ(ReadHostFile(u"\\absent.log"), "<missing>");
}

TEST_F(LogTest, MessagesUpToTheLevelAreWrittenAsTimeDashMessageLines) {
    WriteHostFile(u"\\vexo.log", "lines of an earlier run\n");
    {
        Log log(L"\\vexo.log", 2);
        log.Write(2, "OnCreate()");
        log.Write(3, "DoAction(%d, %d)", 0, 1);
        log.Write(5, "OnTimer(%d)", 3);
        cesim::Advance(61000);
        log.Write(1, "WM_CLOSE - %d", 0);
        log.Write(2, "OnClose(%x)", 0xBEEFu);
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"),
              "09:05:31 - OnCreate()\n09:06:32 - WM_CLOSE - 0\n09:06:32 - OnClose(beef)\n");
}

TEST_F(LogTest, NegativeLevelStartsAnEmptyFileAndWritesNothing) {
    WriteHostFile(u"\\vexo.log", "old\n");
    {
        Log log(L"\\vexo.log", -1);
        log.Write(1, "WM_CLOSE - %d", 0);
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "");
}

TEST_F(LogTest, EachStartKeepsOnlyItsOwnLines) {
    // The first run writes more than the second, so that what is left of it would show.
    {
        Log first(L"\\vexo.log", 2);
        first.Write(2, "OnCreate()");
        first.Write(2, "OnReadConfig()");
    }
    { Log(L"\\vexo.log", 2).Write(2, "second"); }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "09:05:31 - second\n");
}

TEST_F(LogTest, WideTextArgumentsAreNarrowed) {
    {
        Log log(L"\\vexo.log", 7);
        log.Write(7, "DrawTextEndEllipsis(, '%S', %d, ,)", L"Calendar", 64);
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "09:05:31 - DrawTextEndEllipsis(, 'Calendar', 64, ,)\n");
}

TEST_F(LogTest, OverlongMessagesAreCutAtTheBuffer) {
    std::string longText(3000, 'x');
    {
        Log log(L"\\vexo.log", 7);
        log.Write(7, "%s", longText.c_str());
        log.Write(7, "after");
    }
    std::string expected = "09:05:31 - " + std::string(1023, 'x') + "\n09:05:31 - after\n";
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), expected);
}

TEST_F(LogTest, AFailedTimeFormatLeavesTheLineStartingWithTheSeparator) {
    {
        Log log(L"\\vexo.log", 2);
        cesim::InjectFailure("GetTimeFormatW", ERROR_INVALID_PARAMETER, 1);
        log.Write(2, "OnReadConfig()");
        log.Write(2, "OnDestroy()");
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), " - OnReadConfig()\n09:05:31 - OnDestroy()\n");
}

TEST_F(LogTest, AnUndeletableOldLogIsOverwrittenFromItsStartWithoutTruncation) {
    WriteHostFile(u"\\vexo.log", "0123456789012345678901234567890123456789\n");
    cesim::InjectFailure("DeleteFileW", ERROR_ACCESS_DENIED, 1);
    { Log(L"\\vexo.log", 2).Write(2, "new"); }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "09:05:31 - new\n5678901234567890123456789\n");
}

TEST_F(LogTest, AFileThatCannotBeCreatedLeavesTheProgramRunningWithoutALog) {
    cesim::InjectFailure("CreateFileW", ERROR_ACCESS_DENIED, 1);
    {
        Log log(L"\\vexo.log", 2);
        EXPECT_EQ(log.file, INVALID_HANDLE_VALUE);
        log.Write(2, "OnCreate()");
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "<missing>");
}

TEST_F(LogTest, FailedWritesAreDroppedAndLaterOnesGoOn) {
    {
        Log log(L"\\vexo.log", 2);
        cesim::InjectFailure("WriteFile", ERROR_DISK_FULL, 1);
        log.Write(2, "lost");
        log.Write(2, "kept");
    }
    EXPECT_EQ(ReadHostFile(u"\\vexo.log"), "09:05:31 - kept\n");
}

TEST_F(LogTest, TheFileIsClosedWithTheLog) {
    { Log(L"\\vexo.log", 2).Write(2, "x"); }
    EXPECT_TRUE(DeleteFileW(L"\\vexo.log"));
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    const int kThreads = 6;
    const int kLines = 300;
    {
        Log log(L"\\vexo.log", 2);
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t)
            writers.emplace_back([&log, t] {
                for (int i = 0; i < kLines; ++i)
                    log.Write(2, "CloseThreadProc - %d - %d - %s", t, i,
                              "a tail long enough to make a torn write visible");
            });
        for (std::thread& w : writers)
            w.join();
    }
    std::istringstream lines(ReadHostFile(u"\\vexo.log"));
    std::vector<int> next(kThreads, 0);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        int t = -1, i = -1;
        char tail[128] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "09:05:31 - CloseThreadProc - %d - %d - %127[^\n]", &t,
                              &i, tail),
                  3)
            << line;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(i, next[t]++) << "thread " << t << " lines out of order";
        EXPECT_STREQ(tail, "a tail long enough to make a torn write visible");
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

} // namespace
