#include "tests/e2e/Canteen.h"

#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "config/IniFile.h"

#include <random>
#include <stdexcept>

namespace vorlanx::e2e {

namespace {

db::QueryResult query(const std::filesystem::path& file, const std::string& sql) {
    db::BuiltinDatabase db;
    if (!db.open(file.string()))
        return {};
    return db.runQuery(sql);
}

} // namespace

Canteen::Canteen(std::size_t holders) {
    std::random_device random;
    m_dir = std::filesystem::temp_directory_path() / ("vorlanx-e2e-" + std::to_string(random()));
    std::filesystem::create_directories(m_dir);
    const config::IniFile conf(m_dir / "conf.ini");
    db::BuiltinDatabaseAdmin admin;
    if (!conf.writeValue("sername", "type", "2") || !conf.writeValue("mssql", "名称", "canteen") ||
        !admin.open(databaseFile().string()) || !admin.addDemoHolders(holders))
        throw std::runtime_error("cannot set up the canteen in " + m_dir.string());
    m_initial = balances();
}

Canteen::~Canteen() {
    std::error_code error;
    std::filesystem::remove_all(m_dir, error);
}

std::vector<std::uint32_t> Canteen::cards() const {
    std::vector<std::uint32_t> cards;
    for (const auto& [card, balance] : m_initial)
        cards.push_back(card);
    return cards;
}

std::map<std::uint32_t, std::int64_t> Canteen::balances() const {
    std::map<std::uint32_t, std::int64_t> balances;
    auto result = query(databaseFile(), "SELECT hr_phyid, balance_fen FROM card_holder WHERE hr_phyid IS NOT NULL");
    for (; !result.atEnd(); result.nextRow())
        balances[static_cast<std::uint32_t>(std::stoul(result.fieldText(std::size_t{0})))] =
            std::stoll(result.fieldText(std::size_t{1}));
    return balances;
}

std::vector<BookedRecord> Canteen::records() const {
    std::vector<BookedRecord> records;
    auto result = query(databaseFile(), "SELECT kind, hr_phyid, machine, rdate, rtime, amount_fen FROM "
                                        "consumption_record ORDER BY record_id");
    for (; !result.atEnd(); result.nextRow()) {
        BookedRecord r;
        r.kind = result.fieldText(std::size_t{0});
        r.card = static_cast<std::uint32_t>(std::stoul(result.fieldText(std::size_t{1})));
        r.machine = static_cast<std::uint16_t>(std::stoul(result.fieldText(std::size_t{2})));
        r.rdate = result.fieldText(std::size_t{3});
        r.rtime = result.fieldText(std::size_t{4});
        r.amountFen = std::stoll(result.fieldText(std::size_t{5}));
        records.push_back(r);
    }
    return records;
}

} // namespace vorlanx::e2e
