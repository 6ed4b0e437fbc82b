#include "config/IniText.h"

#include <optional>
#include <vector>

namespace vorlanx::config {

namespace {

enum class LineKind { Other, Section, Key };

struct IniLine {
    std::size_t begin = 0;      // first byte of the line
    std::size_t contentEnd = 0; // first byte of its line break, or the end of the text
    std::size_t end = 0;        // first byte of the next line
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Lead bytes of GBK double-byte characters; the byte after one belongs to the same character.
bool isLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x81 && byte <= 0xFE;
}

std::size_t charLength(std::string_view text, std::size_t at) {
    return isLeadByte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t n = charLength(a, i);
        if (n == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

std::optional<std::size_t> findClosingBracket(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) {
        if (text[i] == ']')
            return i;
    }
    return std::nullopt;
}

IniLine classify(std::string_view text, std::size_t begin, std::size_t contentEnd, std::size_t end) {
    IniLine line{begin, contentEnd, end, LineKind::Other, {}, {}};
    const std::string_view content = trim(text.substr(begin, contentEnd - begin));
    if (content.empty() || content.front() == ';')
        return line;
    if (content.front() == '[') {
        const std::string_view inner = content.substr(1);
        if (const auto close = findClosingBracket(inner)) {
            line.kind = LineKind::Section;
            line.name = trim(inner.substr(0, *close));
            return line;
        }
    }
    // '=' cannot be the second byte of a GBK character, so a plain search is safe here.
    line.kind = LineKind::Key;
    const std::size_t equals = content.find('=');
    line.name = trim(content.substr(0, equals));
    if (equals != std::string_view::npos)
        line.value = trim(content.substr(equals + 1));
    return line;
}

std::vector<IniLine> splitLines(std::string_view text) {
    std::vector<IniLine> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t newline = text.find('\n', begin);
        std::size_t contentEnd = newline == std::string_view::npos ? text.size() : newline;
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        if (newline != std::string_view::npos && contentEnd > begin && text[contentEnd - 1] == '\r')
            --contentEnd;
        lines.push_back(classify(text, begin, contentEnd, end));
        begin = end;
    }
    return lines;
}

// Index range [first, last) of the key lines of the first section named section; first is the
// header. nullopt when the file has no such section.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t last = 0;
};

std::optional<SectionSpan> findSection(const std::vector<IniLine>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !sameName(lines[i].name, section))
            continue;
        std::size_t last = i + 1;
        while (last < lines.size() && lines[last].kind != LineKind::Section)
            ++last;
        return SectionSpan{i, last};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<IniLine>& lines, const SectionSpan& span, std::string_view key) {
    for (std::size_t i = span.header + 1; i < span.last; ++i) {
        if (lines[i].kind == LineKind::Key && sameName(lines[i].name, key))
            return i;
    }
    return std::nullopt;
}

std::string_view stripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Cut at the buffer's length without splitting a double-byte character in two.
std::string_view cutToBuffer(std::string_view value) {
    constexpr std::size_t limit = kIniValueBufferSize - 1;
    if (value.size() <= limit)
        return value;
    std::size_t kept = 0;
    while (kept < value.size()) {
        const std::size_t n = charLength(value, kept);
        if (kept + n > limit)
            break;
        kept += n;
    }
    return value.substr(0, kept);
}

// New lines follow the file's own line breaks; a new file gets CR LF as Windows writes it.
std::string_view lineBreakOf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos || (newline > 0 && text[newline - 1] == '\r'))
        return "\r\n";
    return "\n";
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    return line;
}

} // namespace

std::string readIniValue(std::string_view text, std::string_view section, std::string_view key) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty())
        return {};
    const auto lines = splitLines(text);
    const auto span = findSection(lines, section);
    if (!span)
        return {};
    const auto at = findKey(lines, *span, key);
    if (!at)
        return {};
    return std::string(cutToBuffer(stripQuotes(lines[*at].value)));
}

std::string writeIniValue(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value) {
    section = trim(section);
    key = trim(key);
    const std::string_view lineBreak = lineBreakOf(text);
    const auto lines = splitLines(text);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    const auto span = findSection(lines, section);
    if (!span) {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out += lineBreak;
        out += '[';
        out += section;
        out += ']';
        out += lineBreak;
        out += keyLine(key, value);
        out += lineBreak;
        return out;
    }

    if (const auto at = findKey(lines, *span, key)) {
        const IniLine& line = lines[*at];
        out = text.substr(0, line.begin);
        out += keyLine(key, value);
        out += text.substr(line.contentEnd);
        return out;
    }

    // A new key goes after the section's last key, so that blank lines and comments that lead
    // into the next section stay where they are.
    std::size_t after = span->header;
    for (std::size_t i = span->header + 1; i < span->last; ++i) {
        if (lines[i].kind == LineKind::Key)
            after = i;
    }
    const IniLine& anchor = lines[after];
    out = text.substr(0, anchor.end);
    if (anchor.end == anchor.contentEnd)
        out += lineBreak;
    out += keyLine(key, value);
    out += lineBreak;
    out += text.substr(anchor.end);
    return out;
}

} // namespace vorlanx::config
