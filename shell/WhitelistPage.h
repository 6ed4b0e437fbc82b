#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vorlanx::shell {

// Tab page "黑白名单": the personnel list that the white list is built from, and the
// white-list commands (read count, delete, download).
class WhitelistPage : public QWidget {
public:
    explicit WhitelistPage(QWidget* parent);

    QTreeWidget* personnel;
    QComboBox* searchField;
    QLineEdit* searchText;
    QPushButton* search;
    QPushButton* readOne;
    QPushButton* readAll;
    QPushButton* deleteOne;
    QPushButton* deleteAll;
    QPushButton* downloadOne;
    QPushButton* downloadAll;
    // "传全部白名单" to every terminal at once, frame by frame.
    QCheckBox* parallelDownload;
};

} // namespace vorlanx::shell
