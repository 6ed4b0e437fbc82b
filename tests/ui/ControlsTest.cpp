// The window's description as both windows read it: every command button wired to exactly one
// administration command, IDs that cannot collide in a window's command messages, and menus that
// belong to lists.

#include "ui/Controls.h"
#include "ui/AdminCommand.h"
#include "ui/Texts.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

namespace {

using namespace vorlanx::ui;

TEST(Controls, EachAdministrationCommandHasOneButtonPerShape) {
    std::map<std::pair<int, int>, std::string_view> seen;
    std::set<std::string_view> idle;
    for (const Control& c : controls()) {
        if (c.command != Command::None) {
            EXPECT_EQ(c.kind, Kind::Button) << c.name;
        }
        if (c.kind == Kind::Button && c.command == Command::None)
            idle.insert(c.name);
        const auto command = adminCommand(c.command);
        if (!command)
            continue;
        const auto key = std::make_pair(static_cast<int>(command->kind), static_cast<int>(command->shape));
        EXPECT_TRUE(seen.emplace(key, c.name).second) << c.name << " repeats " << seen[key];
    }
    EXPECT_EQ(seen.size(), 9u * 2u); // nine commands, to one terminal and to all
    // The two buttons that start nothing.
    EXPECT_EQ(idle, (std::set<std::string_view>{"超级按钮_清空", "按钮6"}));
    EXPECT_EQ(control(Id::ListenButton).command, Command::StartListening);
    EXPECT_EQ(control(Id::SaveDatabaseButton).command, Command::SaveDatabaseSettings);
}

TEST(Controls, IdsAreUniqueAcrossControlsPagesAndMenus) {
    std::set<int> ids;
    for (const Control& c : controls()) {
        EXPECT_TRUE(ids.insert(controlId(c.id)).second) << controlId(c.id);
        EXPECT_EQ(findControl(c.name), c.name.empty() ? nullptr : &c);
        // A page's control sits in a group of the same page or on the page itself.
        if (c.parent != Id::None) {
            EXPECT_EQ(control(c.parent).page, c.page) << c.name;
        }
    }
    for (const PageEntry& p : pages())
        EXPECT_TRUE(ids.insert(controlId(p.id)).second) << p.name;
    for (const Menu& m : menus()) {
        EXPECT_TRUE(ids.insert(controlId(m.id)).second) << m.title;
        EXPECT_EQ(control(m.list).kind, Kind::ListView) << m.title;
        for (const MenuItem& item : m.items)
            EXPECT_TRUE(ids.insert(controlId(item.id)).second) << item.text;
    }
    // Win32 reserves 1 and 2 (IDOK, IDCANCEL) for the dialog buttons; IDs stay in 16 bits.
    EXPECT_GT(*ids.begin(), 2);
    EXPECT_LT(*ids.rbegin(), 0x10000);
}

TEST(Controls, PagesMenusAndPanelsInTheirOrder) {
    ASSERT_EQ(pages().size(), 4u);
    EXPECT_EQ(pages()[0].name, "基础参数");
    EXPECT_EQ(pages()[3].name, "数据配置");
    EXPECT_EQ(pageEntry(Page::Whitelist).name, "黑白名单");
    ASSERT_EQ(menus().size(), 3u);
    EXPECT_EQ(menu(Id::DeviceMenu).items[0].text, "添加设备");
    EXPECT_TRUE(menu(Id::DeviceMenu).items[0].needsSelection);
    EXPECT_FALSE(menu(Id::ParamMenu).items[1].needsSelection);
    ASSERT_EQ(statusPanels().size(), static_cast<std::size_t>(kStatusPanelCount));
    EXPECT_EQ(statusPanels()[kOperationPanel - 1].text, "操作：");
    EXPECT_EQ(statusPanels()[kClockPanel].width, 0);
    EXPECT_EQ(kClockTimer.periodMs, 300);
    EXPECT_EQ(kLogTimer.periodMs, 500);
}

TEST(Controls, KindsHaveTheirWin32Classes) {
    EXPECT_EQ(windowClass(control(Id::SendAddress).kind), "SysIPAddress32");
    EXPECT_EQ(windowClass(control(Id::Pages).kind), "SysTabControl32");
    EXPECT_EQ(windowClass(control(Id::OnlineList).kind), "SysListView32");
    EXPECT_EQ(windowClass(control(Id::StatusBar).kind), "msctls_statusbar32");
    EXPECT_EQ(windowClass(control(Id::BreakfastTimeCheck).kind), "Button");
    EXPECT_EQ(windowClass(control(Id::BreakfastStart).kind), "Edit");
    EXPECT_EQ(windowClass(control(Id::ModeCombo).kind), "ComboBox");
    EXPECT_EQ(windowClass(control(Id::ModeLabel).kind), "Static");
}

TEST(Texts, OnlineRowTipShowsTheLastAnswerOnlyWhenThereIsOne) {
    vorlanx::link::TerminalTable::Terminal t;
    t.frames = 12;
    t.payments = 3;
    const std::string tip = onlineRowTip(t);
    EXPECT_NE(tip.find("帧：12  查询：0  消费：3  离线：0"), std::string::npos) << tip;
    EXPECT_EQ(tip.find("最后应答"), std::string::npos);
    t.lastAnswer = "机号1设置成功";
    EXPECT_NE(onlineRowTip(t).find("\n最后应答：机号1设置成功"), std::string::npos);
    EXPECT_EQ(allowListRefusedText("10.0.0.300"),
              "conf.ini 中 [terminals] allow 的“10.0.0.300”不是IPv4地址或网段，现在为所有终端服务");
}

} // namespace
