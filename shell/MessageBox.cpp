#include "shell/MessageBox.h"

#include <QMessageBox>

namespace vorlanx::shell {

bool MessageBox::s_capture = false;
QStringList MessageBox::s_shown;

void MessageBox::information(QWidget* parent, const QString& title, const QString& text) {
    if (s_capture) {
        s_shown << text;
        return;
    }
    QMessageBox::information(parent, title, text);
}

void MessageBox::setCapture(bool capture) {
    s_capture = capture;
    s_shown.clear();
}

QStringList MessageBox::takeShown() {
    QStringList out;
    out.swap(s_shown);
    return out;
}

} // namespace vorlanx::shell
