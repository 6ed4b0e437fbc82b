// vorlanx-db-bench [DIR]: how many card queries and durable online payments per second the built-in
// database answers on this machine, through the same runQuery path the transactions use; then the
// payments of 64 terminals at once on a slow disk that takes 10 ms more for every flush, committed
// one at a time and in batches.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "db/FlushShimVfs.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int holders = 1000;

std::string queryCall(int i) {
    return "execute dbo.sp_consume_ykt_query;1 @cardno = '" + std::to_string(12345678 + i % holders) +
           "',@hexkh = '00000000',@macid =1";
}

std::string onlineCall(int i) {
    return "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00000000,macid =1,rdate =2020-05-08,rtime "
           "=10:05:03,cardno =" +
           std::to_string(12345678 + i % holders) + ",xfmoney =1,'";
}

template <typename Call> double rate(vorlanx::db::BuiltinDatabase& db, int count, const char* expected, Call call) {
    int wrong = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (db.runQuery(call(i)).fieldText("col1") != expected)
            ++wrong;
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    if (wrong > 0)
        std::fprintf(stderr, "vorlanx-db-bench: %d unexpected answers\n", wrong);
    return count / took.count();
}

std::filesystem::path sampleFile(const std::filesystem::path& dir) {
    const std::filesystem::path file = dir / ("vorlanx-bench-" + std::to_string(std::random_device{}()) + ".db");
    vorlanx::db::BuiltinDatabaseAdmin admin;
    if (!admin.open(file.string()) || !admin.addDemoHolders(holders)) {
        std::fprintf(stderr, "vorlanx-db-bench: %s\n", admin.lastError().c_str());
        return {};
    }
    // Blocked sample cards would answer 3; here every card may pay.
    vorlanx::db::BuiltinDatabase db;
    db.open(file.string());
    db.runQuery("UPDATE card_holder SET active = 1, balance_fen = 1000000");
    return file;
}

void removeFile(const std::filesystem::path& file) {
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix);
}

struct SlowDiskRun {
    double payments = 0;
    vorlanx::db::BatchStats batches;
};

// Terminals paying in closed loop, each from a thread of its own as the service's workers would,
// on a file reached through the slow disk.
SlowDiskRun slowDiskRate(const std::filesystem::path& dir, vorlanx::db::FlushShimVfs& slowDisk, std::size_t batchLimit,
                         int terminals, std::chrono::seconds length) {
    const std::filesystem::path file = sampleFile(dir);
    SlowDiskRun run;
    if (file.empty())
        return run;
    {
        vorlanx::db::BuiltinDatabase db;
        if (!db.open(file.string(), slowDisk.name()))
            return run;
        db.setBatchLimit(batchLimit);
        std::atomic<std::uint64_t> paid{0};
        std::atomic<int> wrong{0};
        const auto start = Clock::now();
        const auto end = start + length;
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < terminals; ++t) {
                threads.emplace_back([&, t] {
                    for (int i = t; Clock::now() < end; i += terminals) {
                        if (db.runQuery(onlineCall(i)).fieldText("col1") == "00")
                            ++paid;
                        else
                            ++wrong;
                    }
                });
            }
        }
        const std::chrono::duration<double> took = Clock::now() - start;
        if (wrong > 0)
            std::fprintf(stderr, "vorlanx-db-bench: %d payments not made\n", wrong.load());
        run.payments = static_cast<double>(paid.load()) / took.count();
        run.batches = db.batchStats();
    }
    removeFile(file);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::filesystem::path file = sampleFile(dir);
    if (file.empty())
        return 1;
    vorlanx::db::BuiltinDatabase db;
    if (!db.open(file.string()))
        return 1;
    const double queries = rate(db, 200000, "1", queryCall);
    const double payments = rate(db, 5000, "00", onlineCall);
    std::printf("sp_consume_ykt_query:  %.0f calls/s\n", queries);
    std::printf("sp_consume_ykt_online: %.0f durable payments/s (synchronous=FULL, %s)\n", payments,
                dir.string().c_str());
    db.disconnect();
    removeFile(file);

    // A canteen PC's spinning disk flushes 50-150 times a second; 10 ms more per flush stands for it.
    vorlanx::db::FlushShimVfs slowDisk("vorlanx-bench-slow-disk");
    if (!slowDisk.isRegistered())
        return 1;
    slowDisk.setDelay(std::chrono::milliseconds(10));
    constexpr int terminals = 64;
    constexpr std::chrono::seconds length(5);
    const SlowDiskRun alone = slowDiskRate(dir, slowDisk, 1, terminals, length);
    const SlowDiskRun batched =
        slowDiskRate(dir, slowDisk, vorlanx::db::BuiltinDatabase::kBatchLimit, terminals, length);
    std::printf("slow disk (+10 ms per flush), %d threads paying:\n", terminals);
    std::printf("  one at a time: %.0f durable payments/s\n", alone.payments);
    std::printf("  batched:       %.0f durable payments/s (%llu batches, mean %.1f, largest %llu)\n", batched.payments,
                static_cast<unsigned long long>(batched.batches.batches), batched.batches.mean(),
                static_cast<unsigned long long>(batched.batches.largest));
    return 0;
}
