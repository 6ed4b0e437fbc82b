#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorlanx::shell {

// Tab page "基础参数": terminal clock, consumption mode, terminal title, black/white list
// mode, and the log's clear button.
class BasicPage : public QWidget {
public:
    explicit BasicPage(QWidget* parent);

    QRadioButton* setTime;
    QRadioButton* readTime;
    QRadioButton* whiteList;
    QRadioButton* blackList;
    QPushButton* clockAll;
    QPushButton* clockOne;
    QComboBox* mode;
    QPushButton* modeOne;
    QPushButton* modeAll;
    QLineEdit* title;
    QPushButton* titleOne;
    QPushButton* titleAll;
    QPushButton* listModeOne;
    QPushButton* listModeAll;
    QPushButton* clearLog;
    QPushButton* clearList;
};

} // namespace vorlanx::shell
