#include "config/ConnectionSettings.h"

namespace vorlanx::config {

namespace {

// Names are UTF-8 inside the service; on Windows a path built from a plain string would read
// them in the ANSI code page instead.
std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool endsWithDb(std::string_view name) {
    if (name.size() <= 3)
        return false;
    const std::string_view tail = name.substr(name.size() - 3);
    return tail[0] == '.' && (tail[1] == 'd' || tail[1] == 'D') && (tail[2] == 'b' || tail[2] == 'B');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return !text.empty();
}

// A decimal number from 1 (or 0) to max, without a sign.
bool isNumberUpTo(std::string_view text, unsigned max, bool zero) {
    if (!allDigits(text) || text.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value <= max && (zero || value > 0);
}

// Dot-separated labels of letters, digits, '-' and '_'; all-digit labels make a dotted IPv4
// address, which needs four numbers 0-255.
bool isHost(std::string_view host) {
    if (host == "." || host == "(local)")
        return true;
    if (host.empty() || host.size() > 253)
        return false;
    bool numeric = true;
    int labels = 0;
    for (std::size_t begin = 0; begin <= host.size();) {
        std::size_t end = host.find('.', begin);
        if (end == std::string_view::npos)
            end = host.size();
        const std::string_view label = host.substr(begin, end - begin);
        if (label.empty() || label.size() > 63)
            return false;
        for (const char c : label) {
            if (!isLetter(c) && !isDigit(c) && c != '-' && c != '_')
                return false;
        }
        numeric = numeric && isNumberUpTo(label, 255, true);
        ++labels;
        begin = end + 1;
    }
    if (numeric)
        return labels == 4;
    // A name that looks like a broken address (digits and dots only) is no host name either.
    return host.find_first_not_of("0123456789.") != std::string_view::npos;
}

// SQL Server's instance names: up to 16 letters, digits, '_', '$' or '#'.
bool isInstance(std::string_view name) {
    if (name.empty() || name.size() > 16)
        return false;
    for (const char c : name) {
        if (!isLetter(c) && !isDigit(c) && c != '_' && c != '$' && c != '#')
            return false;
    }
    return true;
}

} // namespace

bool isServerAddress(std::string_view text) {
    std::string_view rest = text;
    if (const std::size_t comma = rest.rfind(','); comma != std::string_view::npos) {
        if (!isNumberUpTo(rest.substr(comma + 1), 65535, false))
            return false;
        rest = rest.substr(0, comma);
    }
    if (const std::size_t slash = rest.find('\\'); slash != std::string_view::npos) {
        if (!isInstance(rest.substr(slash + 1)))
            return false;
        rest = rest.substr(0, slash);
    }
    return isHost(rest);
}

std::string_view typeText(DatabaseKind kind) {
    switch (kind) {
    case DatabaseKind::None:
        return "0";
    case DatabaseKind::SqlServer:
        return "1";
    case DatabaseKind::Builtin:
        return "2";
    }
    return "0";
}

std::filesystem::path builtinDatabaseFile(const std::filesystem::path& serviceDir, std::string_view name) {
    if (endsWithDb(name))
        return serviceDir / pathFromUtf8(name);
    std::string fileName(name);
    fileName += ".db";
    return serviceDir / pathFromUtf8(fileName);
}

} // namespace vorlanx::config
