#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vorlanx::shell {

// Every message box of the window goes through here, so that tests can take the texts
// instead of a modal box waiting for a click.
class MessageBox {
public:
    static void information(QWidget* parent, const QString& title, const QString& text);

    // While capturing, boxes are recorded and not shown.
    static void setCapture(bool capture);
    static QStringList takeShown();

private:
    static bool s_capture;
    static QStringList s_shown;
};

} // namespace vorlanx::shell
