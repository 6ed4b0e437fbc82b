#include "shell/WhitelistPage.h"

#include "shell/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vorlanx::shell {

WhitelistPage::WhitelistPage(QWidget* parent) : QWidget(parent) {
    using ui::Id;
    setObjectName(qText(ui::pageEntry(ui::Page::Whitelist).name));
    personnel = makeList(Id::PersonnelList, this);
    searchField = makeCombo(Id::SearchField, this);
    searchText = makeLineEdit(Id::SearchText, this);
    search = makeButton(Id::SearchButton, this);

    readOne = makeButton(Id::ReadOneButton, this);
    readAll = makeButton(Id::ReadAllButton, this);
    deleteOne = makeButton(Id::DeleteOneButton, this);
    deleteAll = makeButton(Id::DeleteAllButton, this);
    downloadOne = makeButton(Id::DownloadOneButton, this);
    downloadAll = makeButton(Id::DownloadAllButton, this);
    parallelDownload = makeCheck(Id::ParallelDownloadCheck, this);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchField);
    searchRow->addWidget(searchText, 1);
    searchRow->addWidget(search);
    auto* left = new QVBoxLayout;
    left->addLayout(searchRow);
    left->addWidget(personnel, 1);

    auto* buttons = new QVBoxLayout;
    for (auto* b : {readOne, readAll, deleteOne, deleteAll, downloadOne, downloadAll})
        buttons->addWidget(b);
    buttons->addWidget(parallelDownload);
    buttons->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addLayout(left, 1);
    row->addLayout(buttons);
}

} // namespace vorlanx::shell
