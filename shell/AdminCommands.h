#pragma once

#include "admin/CommandRequest.h"

#include <QObject>

#include <vector>

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vorlanx::present {
class Presenter;
}

namespace vorlanx::shell {

class BasicPage;
class PeriodPage;
class WhitelistPage;

// The administration buttons and the two white-list downloads. A click reads the controls once
// and hands the values to the presenter, which runs the command and says what to show.
class AdminCommands : public QObject {
public:
    struct Controls {
        BasicPage* basic;
        PeriodPage* periods;
        WhitelistPage* whitelist;
        QLineEdit* sendAddress;
        QLineEdit* sendPort;
        QLineEdit* sendMachine;
        QTreeWidget* terminalList;
    };

    AdminCommands(present::Presenter& presenter, bool parallelDownload, Controls controls, QObject* parent);

    void setButtonsEnabled(bool enabled);

private:
    void wire(QPushButton* button, admin::CommandKind kind, admin::Shape shape);
    admin::CommandRequest readControls(admin::CommandKind kind, admin::Shape shape) const;

    present::Presenter& m_presenter;
    Controls m_controls;
    std::vector<QPushButton*> m_buttons;
};

} // namespace vorlanx::shell
