// The CSV export: the worked example of the history format byte for byte,
// quoting, one link, a large file's row count, and a damaged file's partial
// export with its notice and exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_csv.h"
#include "support/scratch.h"

namespace {

struct Exported {
    int Status;
    std::string Out, Err;
};

std::string Drain(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    std::fclose(f);
    return text;
}

Exported Export(const std::string& path, int link = kCsvAllLinks) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = ExportHistoryFileCsv(path.c_str(), link, out, err);
    return {status, Drain(out), Drain(err)};
}

Exported ExportBytes(const std::string& bytes, int link = kCsvAllLinks) {
    ScratchDir dir;
    WriteAll(dir.File("X.hpw"), bytes);
    return Export(dir.File("X.hpw"), link);
}

const std::string kHeader = kCsvHeaderRow;
const std::string kExample = ReadAll(HOPWATCH_TEST_DATA "/worked_example.hpw");

TEST(CsvExport, WorkedExampleMatchesTheGoldenFile) {
    const Exported run = Export(HOPWATCH_TEST_DATA "/worked_example.hpw");
    EXPECT_EQ(0, run.Status);
    EXPECT_EQ(ReadAll(HOPWATCH_TEST_DATA "/worked_example.csv"), run.Out);
    EXPECT_EQ("", run.Err);
}

TEST(CsvExport, OneLinkAndFieldsThatNeedQuotes) {
    const struct {
        const char* Name;
        std::string File;
        int Link;
        std::string Rows;
    } cases[] = {
        {"second link only", kExample, 2,
         "2026-12-06T14:30,QX0BBB,p2,0,40,60,15,22,2,2\r\n2026-12-06T14:40,QX0BBB,p2,0,40,60,15,22,6,2\r\n"},
        {"comma and quote in names, quote in a value",
         "1  QX0,A \"p\"1      \r\n1.2.99 3:4 7 1\"2 3 4 5 6 1 ", 0,
         "1999-02-01T03:04,\"QX0,A\",\"\"\"p\"\"1\",4,5,6,\"1\"\"2\",3,1,7\r\n"},
        {"header only", "1  A b      ", 0, ""},
    };
    for (const auto& c : cases) {
        const Exported run = ExportBytes(c.File, c.Link);
        EXPECT_EQ(0, run.Status) << c.Name;
        EXPECT_EQ(kHeader + c.Rows, run.Out) << c.Name;
    }
}

TEST(CsvExport, DamagedFileExportsWhatReadsAndSaysWhereItStopped) {
    // The third record is cut off inside its second link.
    const std::string torn = kExample + "\r\n06.12.26 14:50 7 120 340 12 3 5 1 2 15";
    ScratchDir dir;
    WriteAll(dir.File("X.hpw"), torn);
    const Exported run = Export(dir.File("X.hpw"));
    EXPECT_EQ(1, run.Status);
    EXPECT_EQ(ReadAll(HOPWATCH_TEST_DATA "/worked_example.csv"), run.Out);
    EXPECT_EQ("hopwatch: " + dir.File("X.hpw") +
                  " is damaged (the last record is cut short): reading stopped at record 3, byte offset " +
                  std::to_string(torn.size()) + "; the 2 complete records before it were exported\n",
              run.Err);

    const Exported badCount = ExportBytes("x  A b      ");
    EXPECT_EQ(1, badCount.Status);
    EXPECT_EQ(kHeader, badCount.Out);
}

TEST(CsvExport, NothingToExport) {
    EXPECT_EQ(2, Export("/nonexistent/X.hpw").Status);
    const Exported noLink = Export(HOPWATCH_TEST_DATA "/worked_example.hpw", 3);
    EXPECT_EQ(2, noLink.Status);
    EXPECT_NE(std::string::npos, noLink.Err.find("has no link 3"));
}

TEST(CsvExport, LargeFileGivesOneRowPerRecordAndLink) {
    constexpr int kRecords = 24000;
    constexpr int kLinks = 3;
    std::string file = "3  A a      B b      C c      ";
    for (int i = 0; i < kRecords; ++i)
        file += "\r\n07.12.26 05:40 1 2 3 4 5 6 1 1 2 3 4 5 6 1 1 2 3 4 5 6 1 ";
    const Exported run = ExportBytes(file);
    EXPECT_EQ(0, run.Status);
    long long rows = 0;
    for (char ch : run.Out) rows += ch == '\n';
    EXPECT_EQ(1 + static_cast<long long>(kRecords) * kLinks, rows);
}

}  // namespace
