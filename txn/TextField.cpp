#include "txn/TextField.h"

#include "link/Gbk.h"
#include "link/HexText.h"

#include <cstdint>
#include <span>

namespace vorlanx::txn {

namespace {

constexpr std::size_t kFieldBytes = 16;
constexpr std::string_view kBlank = "20";

} // namespace

std::string encodeTextField(std::string_view utf8) {
    const std::string gbk = link::toGbk(utf8);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(gbk.data()), gbk.size());
    std::string field = link::bytesToHex(bytes);
    field.reserve(kFieldBytes * 2);
    while (field.size() < kFieldBytes * 2)
        field += kBlank;
    return field;
}

} // namespace vorlanx::txn
