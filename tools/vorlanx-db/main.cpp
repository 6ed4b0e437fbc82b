// vorlanx-db: the canteen office's tool for the built-in database file.

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/BuiltinDatabaseAdmin.h"

namespace {

constexpr int usageError = 2;
constexpr int failed = 1;

const char* const usage = "usage: vorlanx-db FILE COMMAND\n"
                          "commands:\n"
                          "  init              create the database file and its tables\n"
                          "  import CSV        add card holders: personnel number, name, department,\n"
                          "                    card number, balance in fen (UTF-8); all or nothing\n"
                          "  topup CARD FEN    add FEN fen to the balance of card CARD (negative to take off)\n"
                          "  show CARD         hr_code,hr_name,dept_name,hr_phyid,balance_fen,active\n"
                          "  records           every booked consumption record as CSV\n"
                          "  demo N            add N sample card holders (the first has card 12345678)\n";

std::optional<std::int64_t> number(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int bad(const std::string& message) {
    std::cerr << "vorlanx-db: " << message << "\n" << usage;
    return usageError;
}

int failure(const std::string& message) {
    std::cerr << "vorlanx-db: " << message << "\n";
    return failed;
}

std::optional<std::int64_t> cardArgument(std::string_view text) {
    const auto card = number(text);
    if (!card || *card < 0 || *card > 4294967295)
        return std::nullopt;
    return card;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2)
        return bad("a database file and a command are needed");
    const std::string& file = args[0];
    const std::string& command = args[1];
    const std::size_t operands = args.size() - 2;
    auto expect = [&](std::size_t n) { return operands == n; };

    // Check the whole command line before the file is created or touched.
    if (command == "init" || command == "records") {
        if (!expect(0))
            return bad(command + " takes no arguments");
    } else if (command == "import" || command == "show" || command == "demo") {
        if (!expect(1))
            return bad(command + " takes one argument");
    } else if (command == "topup") {
        if (!expect(2))
            return bad("topup takes a card number and an amount in fen");
    } else {
        return bad("unknown command \"" + command + "\"");
    }

    std::optional<std::int64_t> card;
    if (command == "show" || command == "topup") {
        card = cardArgument(args[2]);
        if (!card)
            return bad("\"" + args[2] + "\" is not a card number (decimal, 0 to 4294967295)");
    }
    std::optional<std::int64_t> amount;
    if (command == "topup") {
        amount = number(args[3]);
        if (!amount || *amount == 0)
            return bad("\"" + args[3] + "\" is not an amount in fen (a whole number, not 0)");
    }
    std::optional<std::int64_t> count;
    if (command == "demo") {
        count = number(args[2]);
        if (!count || *count <= 0 || *count > 99999)
            return bad("\"" + args[2] + "\" is not a number of card holders (1 to 99999)");
    }
    std::ifstream csv;
    if (command == "import") {
        csv.open(args[2], std::ios::binary);
        if (!csv)
            return failure("cannot read " + args[2]);
    }

    vorlanx::db::BuiltinDatabaseAdmin db;
    if (!db.open(file))
        return failure(db.lastError());

    if (command == "init") {
        std::cout << file << ": ready\n";
    } else if (command == "import") {
        const vorlanx::db::ImportOutcome outcome = db.importCsv(csv);
        if (!outcome.ok)
            return failure(args[2] + ": line " + std::to_string(outcome.line) + ": " + outcome.message +
                           "; nothing was imported");
        std::cout << "imported " << outcome.imported << " card holders\n";
    } else if (command == "topup") {
        const auto balance = db.topup(*card, *amount);
        if (!balance)
            return failure(db.lastError());
        std::cout << "card " << *card << ": balance " << *balance << " fen\n";
    } else if (command == "show") {
        const auto line = db.show(*card);
        if (!line)
            return failure(db.lastError());
        std::cout << *line << "\n";
    } else if (command == "records") {
        if (!db.writeRecords(std::cout))
            return failure(db.lastError());
    } else if (command == "demo") {
        const auto added = db.addDemoHolders(static_cast<std::size_t>(*count));
        if (!added)
            return failure(db.lastError());
        std::cout << "added " << *added << " sample card holders; the first has card 12345678\n";
    }
    return 0;
}
