#include "shell/BasicPage.h"

#include "shell/Widgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace vorlanx::shell {

BasicPage::BasicPage(QWidget* parent) : QWidget(parent) {
    using ui::Id;
    setObjectName(qText(ui::pageEntry(ui::Page::Basic).name));
    setTime = makeRadio(Id::SetTimeRadio, this);
    readTime = makeRadio(Id::ReadTimeRadio, this);
    whiteList = makeRadio(Id::WhiteListRadio, this);
    blackList = makeRadio(Id::BlackListRadio, this);
    // The two pairs choose independently of each other.
    auto* timeGroup = new QButtonGroup(this);
    timeGroup->addButton(setTime);
    timeGroup->addButton(readTime);
    auto* listGroup = new QButtonGroup(this);
    listGroup->addButton(whiteList);
    listGroup->addButton(blackList);

    clockAll = makeButton(Id::ClockAllButton, this);
    clockOne = makeButton(Id::ClockOneButton, this);

    mode = makeCombo(Id::ModeCombo, this);
    modeOne = makeButton(Id::ModeOneButton, this);
    modeAll = makeButton(Id::ModeAllButton, this);

    title = makeLineEdit(Id::TitleEdit, this);
    titleOne = makeButton(Id::TitleOneButton, this);
    titleAll = makeButton(Id::TitleAllButton, this);

    listModeOne = makeButton(Id::ListModeOneButton, this);
    listModeAll = makeButton(Id::ListModeAllButton, this);

    clearLog = makeButton(Id::ClearLogButton, this);
    clearList = makeButton(Id::ClearListButton, this);

    for (auto* b :
         {clockAll, clockOne, modeOne, modeAll, titleOne, titleAll, listModeOne, listModeAll, clearLog, clearList})
        b->setFixedWidth(66);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(6);
    QWidget* const widgets[] = {setTime,
                                readTime,
                                clockAll,
                                clockOne,
                                makeLabel(Id::ModeLabel, this),
                                mode,
                                modeOne,
                                modeAll,
                                makeLabel(Id::TitleLabel, this),
                                title,
                                titleOne,
                                titleAll,
                                whiteList,
                                blackList,
                                listModeOne,
                                listModeAll,
                                clearLog,
                                clearList};
    for (QWidget* w : widgets)
        placeInGrid(grid, w);
    grid->setRowStretch(5, 1);
}

} // namespace vorlanx::shell
