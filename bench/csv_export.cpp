// How fast a full history file exports as CSV. The 24,000-record, 17-link
// file of the load benchmark (about 13 MB, some 408,000 rows of output) is
// exported from its file to /dev/null, side by side in one run with the
// floor of the load benchmark: a plain split of the same bytes, already in
// memory, into tokens. Rounds are interleaved and the best time of each is
// kept. The last line gives the ratio.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/big_history.h"
#include "history/history_csv.h"

namespace {

constexpr int kRounds = 15;

}  // namespace

int main() {
    char dir[] = "/tmp/hopwatch-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string bytes = bench::MakeFile();
    const std::string path = std::string(dir) + "/QX0TST2.hpw";
    std::ofstream(path, std::ios::binary) << bytes;
    std::FILE* sinkFile = std::fopen("/dev/null", "wb");
    if (sinkFile == nullptr) {
        std::perror("/dev/null");
        return 1;
    }
    std::printf("file: %d records, %d links, %.1f MB\n", bench::kRecords, bench::kLinks,
                static_cast<double>(bytes.size()) / 1e6);

    double exportTime = 1e9, floor = 1e9;
    long long sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        int status = 0;
        exportTime = std::min(exportTime, bench::Seconds([&] {
                                  status = ExportHistoryFileCsv(path.c_str(), 0, sinkFile, stderr);
                              }));
        if (status != 0) {
            std::fprintf(stderr, "the export failed (%d)\n", status);
            return 1;
        }
        floor = std::min(floor, bench::Seconds([&] {
                             sink += bench::SplitTokens(bytes.data(), bytes.data() + bytes.size());
                             benchmark::DoNotOptimize(sink);
                         }));
    }
    std::fclose(sinkFile);
    std::remove(path.c_str());
    rmdir(dir);

    std::printf("export (to /dev/null) %8.2f ms\n", exportTime * 1e3);
    std::printf("floor (split)         %8.2f ms\n", floor * 1e3);
    std::printf("export/floor=%.2f\n", exportTime / floor);
    return 0;
}
