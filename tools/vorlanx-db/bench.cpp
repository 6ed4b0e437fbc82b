// vorlanx-db-bench [DIR]: how many card queries and durable online payments per second the built-in
// database answers on this machine, through the same runQuery path the transactions use.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"

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

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::filesystem::path file = dir / ("vorlanx-bench-" + std::to_string(std::random_device{}()) + ".db");
    {
        vorlanx::db::BuiltinDatabaseAdmin admin;
        if (!admin.open(file.string()) || !admin.addDemoHolders(holders)) {
            std::fprintf(stderr, "vorlanx-db-bench: %s\n", admin.lastError().c_str());
            return 1;
        }
        // Blocked sample cards would answer 3; here every card may pay.
        vorlanx::db::BuiltinDatabase db;
        db.open(file.string());
        db.runQuery("UPDATE card_holder SET active = 1, balance_fen = 1000000");
    }
    vorlanx::db::BuiltinDatabase db;
    if (!db.open(file.string()))
        return 1;
    const double queries = rate(db, 200000, "1", queryCall);
    const double payments = rate(db, 5000, "00", onlineCall);
    std::printf("sp_consume_ykt_query:  %.0f calls/s\n", queries);
    std::printf("sp_consume_ykt_online: %.0f durable payments/s (synchronous=FULL, %s)\n", payments,
                dir.string().c_str());
    db.disconnect();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix);
    return 0;
}
