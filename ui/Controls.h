#pragma once

#include <optional>
#include <span>
#include <string_view>

// The operator's window as one description that every window of the service renders: the Qt
// window (shell/) and the Win32 window build their controls from it and nothing else.
//
// How a window uses it: walk controls() in order (a parent always comes before its children),
// create each control of its kind as a child of its parent group box (or of its page, or of the
// main window's client area when parent is Id::None and page is Page::None), give it the fixed
// control ID `id`, the name `name` (Qt: objectName) and the caption or default text `caption`,
// fill a combo box from `items` and a list view's columns from `columns`, and place it by
// row/column in its parent with the toolkit's own layout. A button starts `command`
// (AdminCommand.h maps the administration commands to the core's). Menus, timers, status panels
// and pages follow below; the fixed texts are in Texts.h, the time fields' rules in TimeRules.h. Structure only: pixel
// sizes are each window's own, except the main window's place and the column and panel widths, which are the
// operator's.
namespace vorlanx::ui {

// Control IDs. 1001-1099 the main window outside the tab control, by area; 1100, 1200, 1300 and
// 1400 the four tab pages and their controls; 2000-2099 the menus and their items. Plain labels
// have IDs too, so that a test finds them; they never change once given.
enum class Id : int {
    None = 0,
    // Online terminal list, left.
    OnlineList = 1001,
    // Listener group.
    ListenerGroup = 1010,
    ListenPort = 1011,
    ListenButton = 1012,
    StopButton = 1013,
    WhitelistCountLabel = 1014,
    WhitelistCount = 1015,
    SuccessCountLabel = 1016,
    SuccessCount = 1017,
    // Send-target group.
    SendGroup = 1020,
    SendAddressLabel = 1021,
    SendAddress = 1022,
    SendPortLabel = 1023,
    SendPort = 1024,
    SendMachineLabel = 1025,
    SendMachine = 1026,
    // Command group with the tab control.
    CommandGroup = 1030,
    Pages = 1031,
    // Result group and log group.
    ResultGroup = 1040,
    Results = 1041,
    LogGroup = 1050,
    Log = 1051,
    StatusBar = 1060,

    // Page "基础参数".
    BasicPage = 1100,
    SetTimeRadio = 1101,
    ReadTimeRadio = 1102,
    ClockAllButton = 1103,
    ClockOneButton = 1104,
    ModeLabel = 1105,
    ModeCombo = 1106,
    ModeOneButton = 1107,
    ModeAllButton = 1108,
    TitleLabel = 1109,
    TitleEdit = 1110,
    TitleOneButton = 1111,
    TitleAllButton = 1112,
    WhiteListRadio = 1113,
    BlackListRadio = 1114,
    ListModeOneButton = 1115,
    ListModeAllButton = 1116,
    ClearLogButton = 1117,
    ClearListButton = 1118,

    // Page "时段设置": per period check, start, dash, end in the time group; check and amount in
    // the amount group.
    PeriodPage = 1200,
    TimeGroup = 1201,
    AmountGroup = 1202,
    BreakfastTimeCheck = 1210,
    BreakfastStart = 1211,
    BreakfastDash = 1212,
    BreakfastEnd = 1213,
    BreakfastAmountCheck = 1214,
    BreakfastAmount = 1215,
    LunchTimeCheck = 1220,
    LunchStart = 1221,
    LunchDash = 1222,
    LunchEnd = 1223,
    LunchAmountCheck = 1224,
    LunchAmount = 1225,
    DinnerTimeCheck = 1230,
    DinnerStart = 1231,
    DinnerDash = 1232,
    DinnerEnd = 1233,
    DinnerAmountCheck = 1234,
    DinnerAmount = 1235,
    NightTimeCheck = 1240,
    NightStart = 1241,
    NightDash = 1242,
    NightEnd = 1243,
    NightAmountCheck = 1244,
    NightAmount = 1245,
    PeriodsOneButton = 1250,
    PeriodsAllButton = 1251,
    AmountsOneButton = 1252,
    AmountsAllButton = 1253,

    // Page "黑白名单".
    WhitelistPage = 1300,
    SearchField = 1301,
    SearchText = 1302,
    SearchButton = 1303,
    PersonnelList = 1304,
    ReadOneButton = 1310,
    ReadAllButton = 1311,
    DeleteOneButton = 1312,
    DeleteAllButton = 1313,
    DownloadOneButton = 1314,
    DownloadAllButton = 1315,
    ParallelDownloadCheck = 1316,

    // Page "数据配置".
    DataConfigPage = 1400,
    TerminalList = 1401,
    DatabaseGroup = 1410,
    ServerLabel = 1411,
    ServerAddress = 1412,
    NameLabel = 1413,
    DatabaseName = 1414,
    UserLabel = 1415,
    UserEdit = 1416,
    PasswordLabel = 1417,
    PasswordEdit = 1418,
    SqlServerCheck = 1419,
    BuiltinCheck = 1420,
    SaveDatabaseButton = 1421,

    // Menus and their items.
    DeviceMenu = 2010,
    AddDevicesItem = 2011,
    ClearOnlineItem = 2012,
    PersonnelMenu = 2020,
    RefreshPersonnelItem = 2021,
    ParamMenu = 2030,
    RemoveSelectedItem = 2031,
    RemoveAllItem = 2032,
};

constexpr int controlId(Id id) {
    return static_cast<int>(id);
}

enum class Kind {
    Label,        // Static
    Button,       // push button
    Check,        // check box
    Radio,        // radio button; the radios of one parent and row form one group
    Group,        // group box
    Edit,         // one-line text
    PasswordEdit, // one-line text shown as dots
    AddressEdit,  // IPv4 address field
    ServerEdit,   // one-line text: a SQL Server address (IPv4, host name, host,port, host\instance)
    TimeEdit,     // HH:MM:SS with up/down buttons and the rules of TimeRules.h
    TextBox,      // multi-line, read-only, appended to (result box, activity log)
    Combo,        // drop-down list, no typing
    ListView,     // report view with text columns
    Tab,          // tab control holding the pages
    StatusBar,    // panels of statusPanels()
};

// The Win32 window class of a kind; the Qt window reports the same, so that the two windows'
// control lists compare line by line.
std::string_view windowClass(Kind kind);

enum class Page { None = -1, Basic = 0, Periods = 1, Whitelist = 2, DataConfig = 3 };

// Every action a control or menu item of the window starts.
enum class Command {
    None, // 超级按钮_清空 and 按钮6 start nothing
    StartListening,
    StopListening,
    ClockAll,
    ClockOne,
    ModeOne,
    ModeAll,
    TitleOne,
    TitleAll,
    ListModeOne,
    ListModeAll,
    ClearLog,
    PeriodsOne,
    PeriodsAll,
    AmountsOne,
    AmountsAll,
    ReadCountOne,
    ReadCountAll,
    DeleteWhitelistOne,
    DeleteWhitelistAll,
    DownloadOne,
    DownloadAll,
    SaveDatabaseSettings,
    AddDevices,
    ClearOnlineList,
    RefreshPersonnel,
    RemoveSelected,
    RemoveAll,
};

struct Column {
    std::string_view header;
    int width; // pixels at 96 DPI; the last column also stretches
};

struct Control {
    Id id = Id::None;
    std::string_view name; // the control's name; empty for a plain label
    Kind kind = Kind::Label;
    std::string_view caption; // caption, or the text an edit box starts with
    Id parent = Id::None;     // group box holding it; None: directly on its page or the main window
    Page page = Page::None;   // tab page, None outside the tab control
    int row = 0;              // place within the parent, in reading order
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    Command command = Command::None;           // buttons
    std::span<const std::string_view> items{}; // combo boxes, first item selected
    std::span<const Column> columns{};         // list views
    int maxLength = 0;                         // edits; 0 for no limit
};

// All controls, parents before their children, in the order a window creates them.
std::span<const Control> controls();
// The entry of id; id must be a control of the table (a broken invariant otherwise).
const Control& control(Id id);
const Control* findControl(std::string_view name);

// The meal periods' controls, breakfast to night snack.
inline constexpr int kPeriods = 4;
struct PeriodIds {
    Id timeCheck, start, dash, end, amountCheck, amount;
};
inline constexpr PeriodIds kPeriodIds[kPeriods] = {
    {Id::BreakfastTimeCheck, Id::BreakfastStart, Id::BreakfastDash, Id::BreakfastEnd, Id::BreakfastAmountCheck,
     Id::BreakfastAmount},
    {Id::LunchTimeCheck, Id::LunchStart, Id::LunchDash, Id::LunchEnd, Id::LunchAmountCheck, Id::LunchAmount},
    {Id::DinnerTimeCheck, Id::DinnerStart, Id::DinnerDash, Id::DinnerEnd, Id::DinnerAmountCheck, Id::DinnerAmount},
    {Id::NightTimeCheck, Id::NightStart, Id::NightDash, Id::NightEnd, Id::NightAmountCheck, Id::NightAmount},
};

// The four pages of the tab control, in tab order.
struct PageEntry {
    Page page;
    Id id;                 // the page's own window
    std::string_view name; // the tab's text
};
std::span<const PageEntry> pages();
const PageEntry& pageEntry(Page page);

// The pop-up menus, each belonging to one list; also the menu bar's menus, in this order.
struct MenuItem {
    Id id;
    std::string_view text;
    Command command;
    bool needsSelection; // enabled only while the list has a selected row
};
struct Menu {
    Id id;
    std::string_view title;
    Id list; // the list whose right click pops it up
    std::span<const MenuItem> items;
};
std::span<const Menu> menus();
const Menu& menu(Id id);

// The two timers of the main window.
struct Timer {
    int id;
    std::string_view name;
    int periodMs;
};
inline constexpr Timer kClockTimer{1, "时钟1", 300};
inline constexpr Timer kLogTimer{2, "时钟2", 500};

// The status bar's ten panels: fixed captions at the even indices, values at the odd ones.
struct StatusPanel {
    int width; // pixels at 96 DPI; 0 takes the rest of the bar
    std::string_view text;
};
inline constexpr int kStatusPanelCount = 10;
inline constexpr int kTotalPanel = 1;
inline constexpr int kLocalIpPanel = 3;
inline constexpr int kStatusPanel = 5;
inline constexpr int kOperationPanel = 7;
inline constexpr int kClockPanel = 9;
std::span<const StatusPanel> statusPanels();

// The main window: caption, place and size in pixels at 96 DPI, font size in points.
inline constexpr std::string_view kWindowTitle = "VorlanxV7_20200508";
inline constexpr int kWindowX = 50;
inline constexpr int kWindowY = 50;
inline constexpr int kWindowWidth = 804;
inline constexpr int kWindowHeight = 490;
inline constexpr int kFontPointSize = 8;

} // namespace vorlanx::ui
