#pragma once

#include <string_view>

namespace vorlanx::config {

// Fixed texts the operator sees about the settings; the window and vorlanxd show them as given.

// Title of every message box about the database settings.
inline constexpr std::string_view kMessageTitle = "信息：";

// Save refused at the first empty box, in the order the boxes are checked.
inline constexpr std::string_view kServerMissingText = "服务地址错误";
inline constexpr std::string_view kNameMissingText = "数据库名称错误";
inline constexpr std::string_view kUserMissingText = "登录用户错误";
inline constexpr std::string_view kPasswordMissingText = "密码错误";

// Status panel at start-up, and message box after a save.
inline constexpr std::string_view kConnectFailedText = "A连接失败";
inline constexpr std::string_view kConnectedText = "A连接成功";

// Operation panel when conf.ini holds no database settings yet.
inline constexpr std::string_view kNoSettingsContactText = "未配置数据库，请联系Vorlanx技术支持";

} // namespace vorlanx::config
