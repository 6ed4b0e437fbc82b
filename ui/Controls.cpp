#include "ui/Controls.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace vorlanx::ui {

namespace {

constexpr Column kTerminalColumns[] = {{"设备IP", 120}, {"端口号", 50}, {"机号", 50}};
constexpr Column kPersonnelColumns[] = {{"编号", 50}, {"姓名", 60}, {"部门", 70}, {"卡号", 80}};
constexpr std::string_view kModes[] = {"0固定模式", "1手动模式", "2菜单模式", "3下传模式"};
constexpr std::string_view kSearchFields[] = {"编号", "姓名", "部门", "卡号"};

// Each entry names only the fields it sets; GCC before 14 warns about the others even though they
// have default member initializers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

using enum Kind;
using P = Page;
using C = Command;

constexpr Control kControls[] = {
    // The main window's areas: the online list spans both rows at the left, the listener and send
    // groups sit above the command group, the result and log groups stack at the right.
    {.id = Id::OnlineList,
     .name = "超级列表框1",
     .kind = ListView,
     .row = 0,
     .column = 0,
     .rowSpan = 2,
     .columns = kTerminalColumns},

    {.id = Id::ListenerGroup, .name = "分组框3", .kind = Group, .caption = "监听", .row = 0, .column = 1},
    {.id = Id::ListenPort,
     .name = "编辑框_端口1",
     .kind = Edit,
     .caption = "3000",
     .parent = Id::ListenerGroup,
     .row = 0,
     .column = 0,
     .maxLength = 5},
    {.id = Id::ListenButton,
     .name = "按钮_监听",
     .kind = Button,
     .caption = "开始监听",
     .parent = Id::ListenerGroup,
     .row = 0,
     .column = 1,
     .columnSpan = 2,
     .command = C::StartListening},
    {.id = Id::StopButton,
     .name = "按钮_停止",
     .kind = Button,
     .caption = "停止",
     .parent = Id::ListenerGroup,
     .row = 0,
     .column = 3,
     .command = C::StopListening},
    {.id = Id::WhitelistCountLabel,
     .kind = Label,
     .caption = "名单数：",
     .parent = Id::ListenerGroup,
     .row = 1,
     .column = 0},
    {.id = Id::WhitelistCount,
     .name = "白名单数",
     .kind = Label,
     .caption = "0",
     .parent = Id::ListenerGroup,
     .row = 1,
     .column = 1},
    {.id = Id::SuccessCountLabel,
     .kind = Label,
     .caption = "成功数：",
     .parent = Id::ListenerGroup,
     .row = 1,
     .column = 2},
    {.id = Id::SuccessCount,
     .name = "标签_成功数",
     .kind = Label,
     .caption = "0",
     .parent = Id::ListenerGroup,
     .row = 1,
     .column = 3},

    {.id = Id::SendGroup, .name = "分组框4", .kind = Group, .caption = "发送目标", .row = 0, .column = 2},
    {.id = Id::SendAddressLabel, .kind = Label, .caption = "IP:", .parent = Id::SendGroup, .row = 0, .column = 0},
    {.id = Id::SendAddress,
     .name = "IP编辑框1",
     .kind = AddressEdit,
     .parent = Id::SendGroup,
     .row = 0,
     .column = 1,
     .columnSpan = 3},
    {.id = Id::SendPortLabel, .kind = Label, .caption = "端口", .parent = Id::SendGroup, .row = 1, .column = 0},
    {.id = Id::SendPort,
     .name = "编辑框_发送端口",
     .kind = Edit,
     .caption = "3000",
     .parent = Id::SendGroup,
     .row = 1,
     .column = 1},
    {.id = Id::SendMachineLabel, .kind = Label, .caption = "机号", .parent = Id::SendGroup, .row = 1, .column = 2},
    {.id = Id::SendMachine, .name = "编辑框_发送机号", .kind = Edit, .parent = Id::SendGroup, .row = 1, .column = 3},

    {.id = Id::CommandGroup, .name = "分组框1", .kind = Group, .row = 1, .column = 1, .columnSpan = 2},
    {.id = Id::Pages, .name = "选择夹1", .kind = Tab, .parent = Id::CommandGroup},

    {.id = Id::ResultGroup, .name = "分组框2", .kind = Group, .caption = "处理结果", .row = 0, .column = 3},
    {.id = Id::Results, .name = "编辑框_参数返回", .kind = TextBox, .parent = Id::ResultGroup},
    {.id = Id::LogGroup, .name = "分组框5", .kind = Group, .caption = "输出日志：", .row = 1, .column = 3},
    {.id = Id::Log, .name = "编辑框2", .kind = TextBox, .parent = Id::LogGroup},

    {.id = Id::StatusBar, .name = "状态条1", .kind = StatusBar, .row = 2, .column = 0, .columnSpan = 4},

    // Page "基础参数": one row per setting, its two buttons in columns 2 and 3.
    {.id = Id::SetTimeRadio,
     .name = "单选框_设置时间",
     .kind = Radio,
     .caption = "设置时间",
     .page = P::Basic,
     .row = 0,
     .column = 0},
    {.id = Id::ReadTimeRadio,
     .name = "单选框_读取时间",
     .kind = Radio,
     .caption = "读取时间",
     .page = P::Basic,
     .row = 0,
     .column = 1},
    {.id = Id::ClockAllButton,
     .name = "按钮_时间全部",
     .kind = Button,
     .caption = "操作全部",
     .page = P::Basic,
     .row = 0,
     .column = 2,
     .command = C::ClockAll},
    {.id = Id::ClockOneButton,
     .name = "按钮_时间单台",
     .kind = Button,
     .caption = "操作单台",
     .page = P::Basic,
     .row = 0,
     .column = 3,
     .command = C::ClockOne},
    {.id = Id::ModeLabel, .kind = Label, .caption = "消费模式：", .page = P::Basic, .row = 1, .column = 0},
    {.id = Id::ModeCombo,
     .name = "组合框_消费模式",
     .kind = Combo,
     .caption = "0固定模式",
     .page = P::Basic,
     .row = 1,
     .column = 1,
     .items = kModes},
    {.id = Id::ModeOneButton,
     .name = "按钮_单独设置消费模式",
     .kind = Button,
     .caption = "单独设置",
     .page = P::Basic,
     .row = 1,
     .column = 2,
     .command = C::ModeOne},
    {.id = Id::ModeAllButton,
     .name = "按钮_批量设置消费模式",
     .kind = Button,
     .caption = "批量设置",
     .page = P::Basic,
     .row = 1,
     .column = 3,
     .command = C::ModeAll},
    {.id = Id::TitleLabel, .kind = Label, .caption = "设备名称：", .page = P::Basic, .row = 2, .column = 0},
    {.id = Id::TitleEdit,
     .name = "编辑框_设备名称",
     .kind = Edit,
     .caption = "欢迎使用IC消费机",
     .page = P::Basic,
     .row = 2,
     .column = 1},
    {.id = Id::TitleOneButton,
     .name = "按钮_单设置设备名称",
     .kind = Button,
     .caption = "单独设置",
     .page = P::Basic,
     .row = 2,
     .column = 2,
     .command = C::TitleOne},
    {.id = Id::TitleAllButton,
     .name = "按钮_批量设置设备名称",
     .kind = Button,
     .caption = "批量设置",
     .page = P::Basic,
     .row = 2,
     .column = 3,
     .command = C::TitleAll},
    {.id = Id::WhiteListRadio,
     .name = "单选框1",
     .kind = Radio,
     .caption = "启用白名单",
     .page = P::Basic,
     .row = 3,
     .column = 0},
    {.id = Id::BlackListRadio,
     .name = "单选框2",
     .kind = Radio,
     .caption = "启用黑名单",
     .page = P::Basic,
     .row = 3,
     .column = 1},
    {.id = Id::ListModeOneButton,
     .name = "按钮_单设置黑白名单",
     .kind = Button,
     .caption = "单台设置",
     .page = P::Basic,
     .row = 3,
     .column = 2,
     .command = C::ListModeOne},
    {.id = Id::ListModeAllButton,
     .name = "按钮_批量设置黑白名单",
     .kind = Button,
     .caption = "批量设置",
     .page = P::Basic,
     .row = 3,
     .column = 3,
     .command = C::ListModeAll},
    {.id = Id::ClearLogButton,
     .name = "超级按钮_清空1",
     .kind = Button,
     .caption = "清空日志",
     .page = P::Basic,
     .row = 4,
     .column = 2,
     .command = C::ClearLog},
    {.id = Id::ClearListButton,
     .name = "超级按钮_清空",
     .kind = Button,
     .caption = "清空列表",
     .page = P::Basic,
     .row = 4,
     .column = 3},

    // Page "时段设置": the time group left of the amount group, one row per meal period, the
    // group's two buttons in the row below.
    {.id = Id::TimeGroup,
     .name = "分组框6",
     .kind = Group,
     .caption = "时间",
     .page = P::Periods,
     .row = 0,
     .column = 0},
    {.id = Id::BreakfastTimeCheck,
     .name = "选择框_早时间",
     .kind = Check,
     .caption = "早",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 0,
     .column = 0},
    {.id = Id::BreakfastStart,
     .name = "编辑框早A",
     .kind = TimeEdit,
     .caption = "05:00:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 0,
     .column = 1},
    {.id = Id::BreakfastDash,
     .kind = Label,
     .caption = "-",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 0,
     .column = 2},
    {.id = Id::BreakfastEnd,
     .name = "编辑框早B",
     .kind = TimeEdit,
     .caption = "09:30:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 0,
     .column = 3},
    {.id = Id::LunchTimeCheck,
     .name = "选择框_中时间",
     .kind = Check,
     .caption = "中",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 1,
     .column = 0},
    {.id = Id::LunchStart,
     .name = "编辑框中A",
     .kind = TimeEdit,
     .caption = "09:31:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 1,
     .column = 1},
    {.id = Id::LunchDash,
     .kind = Label,
     .caption = "-",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 1,
     .column = 2},
    {.id = Id::LunchEnd,
     .name = "编辑框中B",
     .kind = TimeEdit,
     .caption = "14:00:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 1,
     .column = 3},
    {.id = Id::DinnerTimeCheck,
     .name = "选择框_晚时间",
     .kind = Check,
     .caption = "晚",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 2,
     .column = 0},
    {.id = Id::DinnerStart,
     .name = "编辑框晚A",
     .kind = TimeEdit,
     .caption = "14:01:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 2,
     .column = 1},
    {.id = Id::DinnerDash,
     .kind = Label,
     .caption = "-",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 2,
     .column = 2},
    {.id = Id::DinnerEnd,
     .name = "编辑框晚B",
     .kind = TimeEdit,
     .caption = "19:00:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 2,
     .column = 3},
    {.id = Id::NightTimeCheck,
     .name = "选择框_夜时间",
     .kind = Check,
     .caption = "夜",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 3,
     .column = 0},
    {.id = Id::NightStart,
     .name = "编辑框夜A",
     .kind = TimeEdit,
     .caption = "19:01:01",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 3,
     .column = 1},
    {.id = Id::NightDash,
     .kind = Label,
     .caption = "-",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 3,
     .column = 2},
    {.id = Id::NightEnd,
     .name = "编辑框夜B",
     .kind = TimeEdit,
     .caption = "23:59:59",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 3,
     .column = 3},
    {.id = Id::PeriodsOneButton,
     .name = "按钮_单设置消费时段",
     .kind = Button,
     .caption = "单独设置",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 4,
     .column = 1,
     .command = C::PeriodsOne},
    {.id = Id::PeriodsAllButton,
     .name = "按钮_批量设置消费时段",
     .kind = Button,
     .caption = "批量设置",
     .parent = Id::TimeGroup,
     .page = P::Periods,
     .row = 4,
     .column = 3,
     .command = C::PeriodsAll},

    {.id = Id::AmountGroup,
     .name = "分组框7",
     .kind = Group,
     .caption = "金额（分）",
     .page = P::Periods,
     .row = 0,
     .column = 1},
    {.id = Id::BreakfastAmountCheck,
     .name = "选择框_早餐金额",
     .kind = Check,
     .caption = "早餐",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 0,
     .column = 0},
    {.id = Id::BreakfastAmount,
     .name = "编辑框_金额1",
     .kind = Edit,
     .caption = "100",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 0,
     .column = 1},
    {.id = Id::LunchAmountCheck,
     .name = "选择框_中餐金额",
     .kind = Check,
     .caption = "中餐",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 1,
     .column = 0},
    {.id = Id::LunchAmount,
     .name = "编辑框_金额2",
     .kind = Edit,
     .caption = "100",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 1,
     .column = 1},
    {.id = Id::DinnerAmountCheck,
     .name = "选择框_晚餐金额",
     .kind = Check,
     .caption = "晚餐",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 2,
     .column = 0},
    {.id = Id::DinnerAmount,
     .name = "编辑框_金额3",
     .kind = Edit,
     .caption = "100",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 2,
     .column = 1},
    {.id = Id::NightAmountCheck,
     .name = "选择框_夜宵金额",
     .kind = Check,
     .caption = "夜宵",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 3,
     .column = 0},
    {.id = Id::NightAmount,
     .name = "编辑框_金额4",
     .kind = Edit,
     .caption = "100",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 3,
     .column = 1},
    {.id = Id::AmountsOneButton,
     .name = "按钮_单设置时段金额",
     .kind = Button,
     .caption = "单独设置",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 4,
     .column = 0,
     .command = C::AmountsOne},
    {.id = Id::AmountsAllButton,
     .name = "按钮_批量设置时段金额",
     .kind = Button,
     .caption = "批量设置",
     .parent = Id::AmountGroup,
     .page = P::Periods,
     .row = 4,
     .column = 1,
     .command = C::AmountsAll},

    // Page "黑白名单": the search row over the personnel list, the white-list buttons in a column
    // at the right.
    {.id = Id::SearchField,
     .name = "组合框4",
     .kind = Combo,
     .caption = "编号",
     .page = P::Whitelist,
     .row = 0,
     .column = 0,
     .items = kSearchFields},
    {.id = Id::SearchText, .name = "编辑框1", .kind = Edit, .page = P::Whitelist, .row = 0, .column = 1},
    {.id = Id::SearchButton,
     .name = "按钮6",
     .kind = Button,
     .caption = "查询",
     .page = P::Whitelist,
     .row = 0,
     .column = 2},
    {.id = Id::PersonnelList,
     .name = "超级列表框3",
     .kind = ListView,
     .page = P::Whitelist,
     .row = 1,
     .column = 0,
     .rowSpan = 6,
     .columnSpan = 3,
     .columns = kPersonnelColumns},
    {.id = Id::ReadOneButton,
     .name = "按钮_读单白名单",
     .kind = Button,
     .caption = "读单白名单数",
     .page = P::Whitelist,
     .row = 0,
     .column = 3,
     .command = C::ReadCountOne},
    {.id = Id::ReadAllButton,
     .name = "按钮_读全部白名单1",
     .kind = Button,
     .caption = "读全白名单数",
     .page = P::Whitelist,
     .row = 1,
     .column = 3,
     .command = C::ReadCountAll},
    {.id = Id::DeleteOneButton,
     .name = "按钮_删单设备白名单",
     .kind = Button,
     .caption = "删单台白名单",
     .page = P::Whitelist,
     .row = 2,
     .column = 3,
     .command = C::DeleteWhitelistOne},
    {.id = Id::DeleteAllButton,
     .name = "按钮_删全部设备白名单",
     .kind = Button,
     .caption = "删全部白名单",
     .page = P::Whitelist,
     .row = 3,
     .column = 3,
     .command = C::DeleteWhitelistAll},
    {.id = Id::DownloadOneButton,
     .name = "按钮_传单台白名单",
     .kind = Button,
     .caption = "传单台白名单",
     .page = P::Whitelist,
     .row = 4,
     .column = 3,
     .command = C::DownloadOne},
    {.id = Id::DownloadAllButton,
     .name = "按钮_传全部白名单",
     .kind = Button,
     .caption = "传全部白名单",
     .page = P::Whitelist,
     .row = 5,
     .column = 3,
     .command = C::DownloadAll},
    {.id = Id::ParallelDownloadCheck,
     .name = "选择框_同时下传",
     .kind = Check,
     .caption = "同时下传",
     .page = P::Whitelist,
     .row = 6,
     .column = 3},

    // Page "数据配置": the terminal list beside the database group, a form of label and field.
    {.id = Id::TerminalList,
     .name = "超级列表框_设备",
     .kind = ListView,
     .page = P::DataConfig,
     .row = 0,
     .column = 0,
     .columns = kTerminalColumns},
    {.id = Id::DatabaseGroup,
     .name = "分组框11",
     .kind = Group,
     .caption = "数据库",
     .page = P::DataConfig,
     .row = 0,
     .column = 1},
    {.id = Id::ServerLabel,
     .kind = Label,
     .caption = "服务地址：",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 0,
     .column = 0},
    {.id = Id::ServerAddress,
     .name = "IP编辑框_服务地址",
     .kind = ServerEdit,
     .caption = "127.0.0.1",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 0,
     .column = 1},
    {.id = Id::NameLabel,
     .kind = Label,
     .caption = "数据名称：",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 1,
     .column = 0},
    {.id = Id::DatabaseName,
     .name = "编辑框_数据库名称",
     .kind = Edit,
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 1,
     .column = 1},
    {.id = Id::UserLabel,
     .kind = Label,
     .caption = "登录用户：",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 2,
     .column = 0},
    {.id = Id::UserEdit,
     .name = "编辑框_登录用户",
     .kind = Edit,
     .caption = "sa",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 2,
     .column = 1},
    {.id = Id::PasswordLabel,
     .kind = Label,
     .caption = "登录密码：",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 3,
     .column = 0},
    {.id = Id::PasswordEdit,
     .name = "编辑框_登录密码",
     .kind = PasswordEdit,
     .caption = "468",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 3,
     .column = 1},
    {.id = Id::SqlServerCheck,
     .name = "选择框_数据库选择",
     .kind = Check,
     .caption = "MSSQL库",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 4,
     .column = 0},
    {.id = Id::BuiltinCheck,
     .name = "选择框_内置库",
     .kind = Check,
     .caption = "内置库",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 4,
     .column = 1},
    {.id = Id::SaveDatabaseButton,
     .name = "按钮_保存数据配置",
     .kind = Button,
     .caption = "保存数据配置",
     .parent = Id::DatabaseGroup,
     .page = P::DataConfig,
     .row = 5,
     .column = 0,
     .columnSpan = 2,
     .command = C::SaveDatabaseSettings},
};

constexpr PageEntry kPages[] = {
    {Page::Basic, Id::BasicPage, "基础参数"},
    {Page::Periods, Id::PeriodPage, "时段设置"},
    {Page::Whitelist, Id::WhitelistPage, "黑白名单"},
    {Page::DataConfig, Id::DataConfigPage, "数据配置"},
};

constexpr MenuItem kDeviceItems[] = {
    {Id::AddDevicesItem, "添加设备", C::AddDevices, true},
    {Id::ClearOnlineItem, "清空列表", C::ClearOnlineList, false},
};
constexpr MenuItem kPersonnelItems[] = {
    {Id::RefreshPersonnelItem, "刷新名单", C::RefreshPersonnel, false},
};
constexpr MenuItem kParamItems[] = {
    {Id::RemoveSelectedItem, "删除选中", C::RemoveSelected, true},
    {Id::RemoveAllItem, "删除全部", C::RemoveAll, false},
};
constexpr Menu kMenus[] = {
    {Id::DeviceMenu, "设备", Id::OnlineList, kDeviceItems},
    {Id::PersonnelMenu, "名单", Id::PersonnelList, kPersonnelItems},
    {Id::ParamMenu, "参数", Id::TerminalList, kParamItems},
};

// The status panel holds "设置设备消费模式=菜单模式", the operation panel "未配置数据库，请联系Vorlanx技术支持",
// the local-IP panel any dotted address; the clock takes what is left of the window's width.
constexpr StatusPanel kPanels[] = {
    {36, "总数："}, {40, ""},       {50, "本机IP："}, {100, ""},    {40, "状态："},
    {150, ""},      {35, "操作："}, {200, ""},        {30, "时间"}, {0, ""},
};

static_assert(std::size(kPanels) == kStatusPanelCount);

// Every ID once, every parent a group or tab before its children, every page's control on a page.
constexpr bool wellFormed() {
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const Control& c = kControls[i];
        for (std::size_t j = 0; j < i; ++j) {
            if (kControls[j].id == c.id || (!c.name.empty() && kControls[j].name == c.name))
                return false;
        }
        if (c.parent != Id::None) {
            bool found = false;
            for (std::size_t j = 0; j < i; ++j)
                found =
                    found || (kControls[j].id == c.parent && kControls[j].kind == Group && kControls[j].page == c.page);
            if (!found)
                return false;
        }
        // Only plain labels go without a name; two named labels show counts.
        if (c.name.empty() && c.kind != Label)
            return false;
    }
    return true;
}
static_assert(wellFormed(), "the control table has a repeated ID or name, or a parent after its child");

} // namespace

std::string_view windowClass(Kind kind) {
    switch (kind) {
    case Label:
        return "Static";
    case Button:
    case Check:
    case Radio:
    case Group:
        return "Button";
    case Edit:
    case PasswordEdit:
    case ServerEdit:
    case TimeEdit:
    case TextBox:
        return "Edit";
    case AddressEdit:
        return "SysIPAddress32";
    case Combo:
        return "ComboBox";
    case ListView:
        return "SysListView32";
    case Tab:
        return "SysTabControl32";
    case StatusBar:
        return "msctls_statusbar32";
    }
    return "";
}

std::span<const Control> controls() {
    return kControls;
}

const Control& control(Id id) {
    for (const Control& c : kControls) {
        if (c.id == id)
            return c;
    }
    std::abort(); // an ID outside the table is a fault of the caller's code, not of input
}

const Control* findControl(std::string_view name) {
    if (name.empty())
        return nullptr;
    for (const Control& c : kControls) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

std::span<const PageEntry> pages() {
    return kPages;
}

const PageEntry& pageEntry(Page page) {
    for (const PageEntry& p : kPages) {
        if (p.page == page)
            return p;
    }
    std::abort();
}

std::span<const Menu> menus() {
    return kMenus;
}

const Menu& menu(Id id) {
    for (const Menu& m : kMenus) {
        if (m.id == id)
            return m;
    }
    std::abort();
}

std::span<const StatusPanel> statusPanels() {
    return kPanels;
}

} // namespace vorlanx::ui
