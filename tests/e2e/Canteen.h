#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vorlanx::e2e {

// One booked consumption record as the built-in database holds it.
struct BookedRecord {
    std::string kind;
    std::uint32_t card = 0;
    std::uint16_t machine = 0;
    std::string rdate;
    std::string rtime;
    std::int64_t amountFen = 0;
};

// A service directory of its own: conf.ini selecting the built-in database, and the database
// with sample card holders (cards 12345678 onwards). Removed with the object.
class Canteen {
public:
    explicit Canteen(std::size_t holders);
    ~Canteen();
    Canteen(const Canteen&) = delete;
    Canteen& operator=(const Canteen&) = delete;

    const std::filesystem::path& dir() const { return m_dir; }
    std::filesystem::path databaseFile() const { return m_dir / "canteen.db"; }
    std::vector<std::uint32_t> cards() const;
    const std::map<std::uint32_t, std::int64_t>& initialBalances() const { return m_initial; }

    // Read from the file as it stands (the service may be running: the file is in WAL mode).
    std::map<std::uint32_t, std::int64_t> balances() const;
    std::vector<BookedRecord> records() const;

private:
    std::filesystem::path m_dir;
    std::map<std::uint32_t, std::int64_t> m_initial;
};

} // namespace vorlanx::e2e
