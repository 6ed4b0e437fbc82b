// vorlanx-db: the canteen office's tool for the built-in database file. Every command is safe while
// vorlanxd or the window runs on the same file.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/PeriodSettings.h"
#include "db/BookingExport.h"
#include "db/BookingReport.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "db/DatabaseBackup.h"
#include "db/FilePath.h"
#include "db/MealPeriods.h"
#include "db/ReportText.h"
#include "version/Version.h"

#ifdef _WIN32
#include "link/Utf16Text.h"

#include <fcntl.h>
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

constexpr int usageError = 2;
constexpr int failed = 1;

const char* const usage =
    "usage: vorlanx-db FILE COMMAND\n"
    "commands:\n"
    "  init              create the database file and its tables\n"
    "  import CSV        add card holders: personnel number, name, department,\n"
    "                    card number, balance in fen (UTF-8); all or nothing\n"
    "  topup CARD FEN    add FEN fen to the balance of card CARD (negative to take off)\n"
    "  show CARD         hr_code,hr_name,dept_name,hr_phyid,balance_fen,active\n"
    "  block CARD        refuse the card from the next query or payment on (a lost card)\n"
    "  unblock CARD      let a blocked card pay again\n"
    "  replace OLD NEW   give the holder of card OLD the card NEW, with balance and history\n"
    "  report [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--by meal|day|terminal|holder] [--csv]\n"
    "                    count and sum of the bookings, online and offline (default: today, by meal)\n"
    "  export [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--force] FILE.csv\n"
    "                    every booking of the range, one CSV row each\n"
    "  backup [--force] DEST\n"
    "                    a checked copy of the database, taken while terminals pay\n"
    "  verify            check the database file (PRAGMA integrity_check)\n"
    "  records           every booked consumption record as CSV\n"
    "  demo N            add N sample card holders (the first has card 12345678)\n"
    "  demo-bookings N   add N generated bookings over the last 30 days (moves no balance)\n"
    "report --csv and export write for a spreadsheet: a text cell that begins with = + - @, TAB or\n"
    "CR gets a leading apostrophe. show and records are plain CSV for scripts, without it.\n"
    "vorlanx-db --help: this text; vorlanx-db --version: the version.\n";

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

// The command's operands split into options and the rest. Options that take a value take the next
// argument; a flag stands alone.
struct Operands {
    std::map<std::string, std::string> options;
    std::vector<std::string> rest;
    std::string error;
};

Operands splitOperands(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                       const std::vector<std::string>& flags) {
    Operands out;
    auto among = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            out.rest.push_back(arg);
        } else if (among(valued, arg)) {
            if (i + 1 >= args.size()) {
                out.error = arg + " needs a value";
                return out;
            }
            out.options[arg] = args[++i];
        } else if (among(flags, arg)) {
            out.options[arg] = "";
        } else {
            out.error = "unknown option " + arg;
            return out;
        }
    }
    return out;
}

bool mayCreateTheFile(const std::string& command) {
    return command == "init" || command == "import" || command == "demo";
}

#ifdef _WIN32
// The arguments as UTF-8, the core's text: Windows hands main() its ANSI code page, in which a
// file name outside it (Chinese on an English Windows) is lost.
std::vector<std::string> utf8Arguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return args;
    for (int i = 1; i < count; ++i) {
        const std::wstring_view arg(wide[i]);
        args.push_back(vorlanx::link::utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
    }
    LocalFree(wide);
    return args;
}
#endif

} // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    // Output goes out as written: UTF-8, and the CRLF of a CSV report not made CR CR LF. A console
    // shows UTF-8 when told so.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::string> args = utf8Arguments();
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << usage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << VORLANX_VERSION_TEXT("vorlanx-db");
        return 0;
    }
    if (args.size() < 2)
        return bad("a database file and a command are needed");
    const std::string& file = args[0];
    const std::string& command = args[1];

    // Check the whole command line before the file is created or touched.
    Operands operands;
    if (command == "report")
        operands = splitOperands(args, {"--from", "--to", "--by"}, {"--csv"});
    else if (command == "export")
        operands = splitOperands(args, {"--from", "--to"}, {"--force"});
    else if (command == "backup")
        operands = splitOperands(args, {}, {"--force"});
    else
        operands.rest.assign(args.begin() + 2, args.end());
    if (!operands.error.empty())
        return bad(command + ": " + operands.error);
    const std::vector<std::string>& rest = operands.rest;
    auto expect = [&](std::size_t n) { return rest.size() == n; };

    if (command == "init" || command == "records" || command == "verify" || command == "report") {
        if (!expect(0))
            return bad(command + " takes no arguments");
    } else if (command == "import" || command == "show" || command == "demo" || command == "block" ||
               command == "unblock" || command == "demo-bookings" || command == "export" || command == "backup") {
        if (!expect(1))
            return bad(command + " takes one argument");
    } else if (command == "topup" || command == "replace") {
        if (!expect(2))
            return bad(command == "topup" ? "topup takes a card number and an amount in fen"
                                          : "replace takes the old card number and the new one");
    } else {
        return bad("unknown command \"" + command + "\"");
    }

    std::vector<std::int64_t> cards;
    if (command == "show" || command == "topup" || command == "block" || command == "unblock" || command == "replace") {
        const std::size_t count = command == "replace" ? 2 : 1;
        for (std::size_t i = 0; i < count; ++i) {
            const auto card = cardArgument(rest[i]);
            if (!card)
                return bad("\"" + rest[i] + "\" is not a card number (decimal, 0 to 4294967295)");
            cards.push_back(*card);
        }
    }
    std::optional<std::int64_t> amount;
    if (command == "topup") {
        amount = number(rest[1]);
        if (!amount || *amount == 0)
            return bad("\"" + rest[1] + "\" is not an amount in fen (a whole number, not 0)");
    }
    std::optional<std::int64_t> count;
    if (command == "demo") {
        count = number(rest[0]);
        if (!count || *count <= 0 || *count > 99999)
            return bad("\"" + rest[0] + "\" is not a number of card holders (1 to 99999)");
    }
    if (command == "demo-bookings") {
        count = number(rest[0]);
        if (!count || *count <= 0 || *count > 100000000)
            return bad("\"" + rest[0] + "\" is not a number of bookings (1 to 100000000)");
    }
    // A range given by --from alone runs to today; by --to alone it is that one day.
    std::string from = vorlanx::db::todayDate();
    std::string to = from;
    if (command == "report" || command == "export") {
        const auto& options = operands.options;
        if (options.contains("--to"))
            from = to = options.at("--to");
        if (options.contains("--from"))
            from = options.at("--from");
        for (const std::string* date : {&from, &to}) {
            if (!vorlanx::db::isDate(*date))
                return bad("\"" + *date + "\" is not a date (YYYY-MM-DD)");
        }
        if (from > to)
            return bad("the range starts (" + from + ") after it ends (" + to + ")");
    }
    vorlanx::db::ReportGrouping grouping = vorlanx::db::ReportGrouping::Meal;
    if (command == "report" && operands.options.contains("--by")) {
        static const std::map<std::string, vorlanx::db::ReportGrouping> groupings{
            {"meal", vorlanx::db::ReportGrouping::Meal},
            {"day", vorlanx::db::ReportGrouping::Day},
            {"terminal", vorlanx::db::ReportGrouping::Terminal},
            {"holder", vorlanx::db::ReportGrouping::Holder}};
        const auto found = groupings.find(operands.options.at("--by"));
        if (found == groupings.end())
            return bad("--by takes meal, day, terminal or holder");
        grouping = found->second;
    }
    const bool force = operands.options.contains("--force");
    std::ifstream csv;
    if (command == "import") {
        csv.open(vorlanx::db::filePath(rest[0]), std::ios::binary);
        if (!csv)
            return failure("cannot read " + rest[0]);
    }

    // A backup and a check read the file without ever writing it.
    if (command == "backup" || command == "verify") {
        const vorlanx::db::BackupOutcome outcome = command == "backup"
                                                       ? vorlanx::db::DatabaseBackup::backup(file, rest[0], force)
                                                       : vorlanx::db::DatabaseBackup::verify(file);
        if (!outcome.ok)
            return failure(outcome.error);
        std::cout << (command == "backup" ? rest[0] : file) << ": intact, " << outcome.holders << " card holders, "
                  << outcome.bookings << " bookings\n";
        return 0;
    }

    vorlanx::db::BuiltinDatabaseAdmin db;
    if (!(mayCreateTheFile(command) ? db.open(file) : db.openExisting(file)))
        return failure(db.lastError());
    // The meal periods are those of the service that uses the file: conf.ini beside it.
    const auto periods = [&] {
        return vorlanx::db::MealPeriods(
            vorlanx::config::loadPeriodSettings(std::filesystem::absolute(vorlanx::db::filePath(file)).parent_path()));
    };

    if (command == "init") {
        std::cout << file << ": ready\n";
    } else if (command == "import") {
        const vorlanx::db::ImportOutcome outcome = db.importCsv(csv);
        if (!outcome.ok)
            return failure(rest[0] + ": line " + std::to_string(outcome.line) + ": " + outcome.message +
                           "; nothing was imported");
        std::cout << "imported " << outcome.imported << " card holders\n";
    } else if (command == "topup") {
        const auto balance = db.topup(cards[0], *amount);
        if (!balance)
            return failure(db.lastError());
        std::cout << "card " << cards[0] << ": balance " << *balance << " fen\n";
    } else if (command == "show") {
        const auto line = db.show(cards[0]);
        if (!line)
            return failure(db.lastError());
        std::cout << *line << "\n";
    } else if (command == "block" || command == "unblock") {
        if (!db.setBlocked(cards[0], command == "block"))
            return failure(db.lastError());
        if (command == "block")
            std::cout << "card " << cards[0] << ": blocked; refused from the next card query or payment on.\n"
                      << "Terminals working offline keep accepting it until the white list is downloaded to "
                         "them again.\n";
        else
            std::cout << "card " << cards[0] << ": usable again\n";
    } else if (command == "replace") {
        if (!db.replaceCard(cards[0], cards[1]))
            return failure(db.lastError());
        std::cout << "card " << cards[1] << " replaces card " << cards[0] << ": same holder, balance and history; card "
                  << cards[0] << " is refused from now on.\n"
                  << "Terminals working offline keep accepting card " << cards[0]
                  << " until the white list is downloaded to them again.\n";
    } else if (command == "report") {
        vorlanx::db::BookingReport report(db.connection(), periods());
        const auto built = report.build(from, to, grouping);
        if (!built)
            return failure(report.lastError());
        if (operands.options.contains("--csv"))
            std::cout << vorlanx::db::kCsvByteOrderMark << vorlanx::db::BookingReport::csv(*built);
        else
            std::cout << vorlanx::db::BookingReport::text(*built);
    } else if (command == "export") {
        vorlanx::db::BookingExport exporter(db.connection(), periods());
        const auto written = exporter.writeFile(rest[0], from, to, force);
        if (!written)
            return failure(exporter.lastError());
        std::cout << rest[0] << ": " << *written << " bookings from " << from << " to " << to << "\n";
    } else if (command == "records") {
        if (!db.writeRecords(std::cout))
            return failure(db.lastError());
    } else if (command == "demo") {
        const auto added = db.addDemoHolders(static_cast<std::size_t>(*count));
        if (!added)
            return failure(db.lastError());
        std::cout << "added " << *added << " sample card holders; the first has card 12345678\n";
    } else if (command == "demo-bookings") {
        const auto added = db.addDemoBookings(static_cast<std::size_t>(*count));
        if (!added)
            return failure(db.lastError());
        std::cout << "added " << *added << " generated bookings\n";
    }
    return 0;
}
