#pragma once

#include "config/SettingsTexts.h"
#include "link/TerminalTable.h"

#include <string>
#include <string_view>

// The fixed texts that the window shows the operator besides the captions of its controls
// (Controls.h). Every window takes them from here; the texts of the settings and of the
// administration commands come from their own parts of the core (config/, admin/).
namespace vorlanx::ui {

// Title of every message box of the window.
inline constexpr std::string_view kMessageTitle = config::kMessageTitle;

// 按钮_监听 with an empty port box.
inline constexpr std::string_view kPortMissingText = "请输入监听端口";
// After "端口被占用" on Windows when the service vorlanxd runs on this computer: the window and the
// service never share a port, and the operator is told which program holds it.
inline constexpr std::string_view kPortHeldByServiceText =
    "端口被占用：Windows 服务 vorlanxd 正在本机运行并监听终端。请停止该服务 (net stop vorlanxd)，或改用其他端口。";

// The self-restart after a save could not start the new process.
inline constexpr std::string_view kRestartFailedText = "重启失败，请手动重新启动程序";

// A window program that will not start says why in a box as well as on standard error: started
// from the desktop, it has no console. Each is followed by the directory or argument concerned.
inline constexpr std::string_view kDirMissingText = "无法启动：--dir 指定的服务目录不存在：";
inline constexpr std::string_view kNoServiceDirText = "无法启动：不能创建服务目录：";
inline constexpr std::string_view kUnknownArgumentText = "无法启动：不认识的参数：";

// Beside the database kinds in a build without the built-in database (the Windows build): a
// Windows install uses SQL Server.
inline constexpr std::string_view kNoBuiltinDatabaseText = "此版本没有内置库：请用 SQL Server（Express 版即可）";

// At start-up: an entry of conf.ini's allow-list that is neither an address nor a network.
std::string allowListRefusedText(std::string_view entry);

// The tooltip of a row of the online terminal list: what the service has heard from it, the
// time in local time.
std::string onlineRowTip(const link::TerminalTable::Terminal& terminal);

} // namespace vorlanx::ui
