#include "link/AddressFilter.h"

#include <gtest/gtest.h>

namespace {

using vorlanx::link::AddressFilter;

AddressFilter filterOf(std::string_view text) {
    auto parsed = AddressFilter::parse(text);
    EXPECT_TRUE(std::holds_alternative<AddressFilter>(parsed)) << text;
    return std::holds_alternative<AddressFilter>(parsed) ? std::get<AddressFilter>(parsed) : AddressFilter{};
}

std::string badItemOf(std::string_view text) {
    auto parsed = AddressFilter::parse(text);
    return std::holds_alternative<AddressFilter::BadItem>(parsed) ? std::get<AddressFilter::BadItem>(parsed).item
                                                                  : "(accepted)";
}

TEST(AddressFilter, AddressesAndRanges) {
    const auto filter = filterOf(" 192.168.1.20 ,10.0.0.0/8,172.16.4.0/22");
    EXPECT_TRUE(filter.admits("192.168.1.20"));
    EXPECT_FALSE(filter.admits("192.168.1.21"));
    EXPECT_TRUE(filter.admits("10.255.0.1"));
    EXPECT_TRUE(filter.admits("172.16.7.255"));
    EXPECT_FALSE(filter.admits("172.16.8.0"));
    EXPECT_FALSE(filter.admits("not an address"));
    // A range written with host bits set still means its network.
    EXPECT_TRUE(filterOf("192.168.1.77/24").admits("192.168.1.1"));
    EXPECT_TRUE(filterOf("0.0.0.0/0").admits("8.8.8.8"));
}

TEST(AddressFilter, EmptyServesEveryone) {
    EXPECT_TRUE(filterOf("").empty());
    EXPECT_TRUE(filterOf("  ").admits("203.0.113.9"));
}

TEST(AddressFilter, BadItemsAreNamed) {
    EXPECT_EQ(badItemOf("10.0.0.1, 10.0.0.256"), "10.0.0.256");
    EXPECT_EQ(badItemOf("10.0.0.0/33"), "10.0.0.0/33");
    EXPECT_EQ(badItemOf("10.0.0.0/"), "10.0.0.0/");
    EXPECT_EQ(badItemOf("10.0.0"), "10.0.0");
    EXPECT_EQ(badItemOf("10.0.0.1,,10.0.0.2"), "");
    EXPECT_EQ(badItemOf("canteen-pc"), "canteen-pc");
    EXPECT_EQ(badItemOf("10.0.0.+1"), "10.0.0.+1");
    EXPECT_EQ(badItemOf("1.2.3.4/8 junk"), "1.2.3.4/8 junk");
}

TEST(AddressFilter, ParsesDottedAddressesStrictly) {
    EXPECT_EQ(AddressFilter::parseAddress("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(AddressFilter::parseAddress("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_FALSE(AddressFilter::parseAddress("1.2.3.4.5"));
    EXPECT_FALSE(AddressFilter::parseAddress("1.2.3.0004"));
    EXPECT_FALSE(AddressFilter::parseAddress(" 1.2.3.4"));
}

} // namespace
