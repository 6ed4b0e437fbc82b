#include "ui/Texts.h"

#include <ctime>

namespace vorlanx::ui {

std::string allowListRefusedText(std::string_view entry) {
    return "conf.ini 中 [terminals] allow 的“" + std::string(entry) + "”不是IPv4地址或网段，现在为所有终端服务";
}

namespace {
std::string localTimeText(std::time_t t) {
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &t);
#else
    localtime_r(&t, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}
} // namespace

std::string onlineRowTip(const link::TerminalTable::Terminal& t) {
    std::string tip = "最后收到：" + localTimeText(t.lastHeard) + "\n帧：" + std::to_string(t.frames) + "  查询：" +
                      std::to_string(t.queries) + "  消费：" + std::to_string(t.payments) + "  离线：" +
                      std::to_string(t.offlineRecords);
    if (!t.lastAnswer.empty())
        tip += "\n最后应答：" + t.lastAnswer;
    return tip;
}

} // namespace vorlanx::ui
