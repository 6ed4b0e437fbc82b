#include "config/ConnectionSettingsSave.h"
#include "service/Restart.h"
#include "service/VorlanxService.h"
#include "service/WindowDir.h"
#include "shell/ControlList.h"
#include "shell/MainWindow.h"
#include "shell/MessageBox.h"
#include "shell/Widgets.h"
#include "ui/Texts.h"
#include "version/Version.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextStream>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: vorlanx [--dir DIR] [--controls] [Qt options]\n"
    "The canteen terminals' payment service with its window (Vorlanx 食堂消费服务).\n"
    "  --dir DIR  service directory holding conf.ini and the built-in database; without it the\n"
    "             executable's directory when writable, else ~/.config/vorlanx (made if missing)\n"
    "  --controls print the window's controls, one a line, tab-separated: name, control ID,\n"
    "             window class, caption, x, y, width, height, page; then exit (offscreen when no\n"
    "             QT_QPA_PLATFORM is set)\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "The window listens on UDP port 3000 by default, as vorlanxd does: run only one of them on a PC.\n";

struct Arguments {
    std::optional<std::filesystem::path> dir;
    bool help = false;
    bool controls = false;
    bool bad = false;
};

// Read before QApplication exists, so that --help works without a display.
Arguments readArguments(int argc, char* argv[]) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h")
            arguments.help = true;
        else if (arg == "--controls")
            arguments.controls = true;
        else if (arg == "--dir" && i + 1 < argc)
            arguments.dir = std::filesystem::path(argv[++i]);
        else if (arg == "--dir")
            arguments.bad = true;
    }
    return arguments;
}

// Every page is shown once, so that each page's layout has placed its controls, then the first
// page again, as the window opens.
int printControls(QApplication& app, QWidget& window) {
    auto* pages =
        window.findChild<QTabWidget*>(vorlanx::shell::qText(vorlanx::ui::control(vorlanx::ui::Id::Pages).name));
    app.processEvents();
    for (int i = pages->count() - 1; i >= 0; --i) {
        pages->setCurrentIndex(i);
        app.processEvents();
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString& line : vorlanx::shell::controlLines(&window))
        out << line << '\n';
    out.flush();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const Arguments arguments = readArguments(argc, argv);
    if (argc == 2 && std::string_view(argv[1]) == "--version")
        return std::fputs(VORLANX_VERSION_TEXT("vorlanx"), stdout) < 0;
    if (arguments.help || arguments.bad) {
        std::fputs(kUsage, arguments.help ? stdout : stderr);
        return arguments.help ? 0 : 2;
    }
    // The list needs no screen: a window laid out offscreen has the same places.
    if (arguments.controls && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vorlanx::service::WindowDirInputs inputs;
    inputs.requested = arguments.dir;
    // From UTF-16, so that a directory with Chinese characters is the same path on every platform.
    inputs.programDir = std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
    inputs.installedProgramDir = std::filesystem::path(VORLANX_INSTALLED_BINDIR);
    inputs.configHome =
        std::filesystem::path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdU16String());
    const auto serviceDir = vorlanx::service::chooseWindowDir(inputs);
    std::error_code error;
    if (!serviceDir || !std::filesystem::is_directory(*serviceDir, error)) {
        std::fprintf(stderr, "vorlanx: no service directory: %s\n",
                     serviceDir ? "the --dir given does not exist" : "cannot make ~/.config/vorlanx");
        // A window started from the desktop menu has no terminal to show the line: a box says it
        // too. The control list is for scripts, which read standard error.
        if (!arguments.controls) {
            const std::u8string where = serviceDir ? serviceDir->u8string() : std::u8string(u8"~/.config/vorlanx");
            const std::string_view reason = serviceDir ? vorlanx::ui::kDirMissingText : vorlanx::ui::kNoServiceDirText;
            vorlanx::shell::MessageBox::information(nullptr, vorlanx::shell::qText(vorlanx::ui::kMessageTitle),
                                                    vorlanx::shell::qText(reason) +
                                                        QString::fromUtf8(reinterpret_cast<const char*>(where.data()),
                                                                          static_cast<qsizetype>(where.size())));
        }
        return 1;
    }
    // A restart comes back to this directory, whichever rule chose it.
    const std::filesystem::path dir = *serviceDir;
    vorlanx::service::VorlanxService service(
        {dir, [dir] { return vorlanx::service::restartSelfIn(dir, vorlanx::config::kSaveRestartDelay); }});
    int rc = 0;
    {
        vorlanx::shell::MainWindow window(service);
        window.show();
        rc = arguments.controls ? printControls(app, window) : app.exec();
    }
    service.stopListening();
    return rc;
}
