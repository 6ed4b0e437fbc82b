#include "link/LogText.h"

#include "link/HexText.h"

namespace vorlanx::link {

std::string dateTimeText(const std::tm& t) {
    std::string out = std::to_string(t.tm_year + 1900) + "年" + std::to_string(t.tm_mon + 1) + "月" +
                      std::to_string(t.tm_mday) + "日";
    if (t.tm_sec != 0)
        out += std::to_string(t.tm_hour) + "时" + std::to_string(t.tm_min) + "分" + std::to_string(t.tm_sec) + "秒";
    else if (t.tm_min != 0)
        out += std::to_string(t.tm_hour) + "时" + std::to_string(t.tm_min) + "分";
    else if (t.tm_hour != 0)
        out += std::to_string(t.tm_hour) + "时";
    return out;
}

std::string clientEntry(const std::tm& local, std::string_view address, std::uint16_t port,
                        std::span<const std::uint8_t> data) {
    return clientEntryText(local, address, std::to_string(port), bytesToHex(data));
}

namespace {

std::string entryText(const std::tm& local, std::string_view label, std::string_view address,
                      std::string_view portText, std::string_view frameText) {
    std::string out = dateTimeText(local);
    out.reserve(out.size() + 32 + address.size() + frameText.size());
    out += kLineEnd;
    out += label;
    out += address;
    out += ':';
    out += portText;
    out += "\r\n[数据]";
    out += frameText;
    out += kLineEnd;
    return out;
}

} // namespace

std::string clientEntryText(const std::tm& local, std::string_view address, std::string_view portText,
                            std::string_view frameText) {
    return entryText(local, "[客户]", address, portText, frameText);
}

std::string refusedEntryText(const std::tm& local, std::string_view address, std::string_view portText,
                             std::string_view frameText) {
    return entryText(local, "[拒绝]", address, portText, frameText);
}

std::size_t countLinePieces(std::string_view text) {
    std::size_t pieces = 0;
    std::size_t start = 0;
    for (std::size_t pos = text.find(kLineEnd); pos != std::string_view::npos; pos = text.find(kLineEnd, start)) {
        ++pieces;
        start = pos + kLineEnd.size();
    }
    if (start < text.size())
        ++pieces;
    return pieces;
}

} // namespace vorlanx::link
