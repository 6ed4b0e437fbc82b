#include "winshell/Layout.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace vorlanx::winshell {

namespace {

using ui::Id;

// A grid inside a container: the first cell's corner, the column widths and the row height, and
// the gap between cells.
struct Grid {
    int x;
    int y;
    std::vector<int> columns;
    int rowHeight;
    int gap;

    Box cell(int row, int column, int rowSpan, int columnSpan) const {
        Box b;
        b.x = x + std::accumulate(columns.begin(), columns.begin() + column, 0) + gap * column;
        b.y = y + row * (rowHeight + gap);
        b.w = std::accumulate(columns.begin() + column, columns.begin() + column + columnSpan, 0) +
              gap * (columnSpan - 1);
        b.h = rowHeight * rowSpan + gap * (rowSpan - 1);
        return b;
    }
};

// The main window's areas, placed as in the Qt window: the online list at the left, the listener
// and send groups over the command group, the result and log groups at the right.
constexpr Box kOnlineList{4, 4, 226, 422};
constexpr Box kListenerGroup{234, 0, 196, 68};
constexpr Box kSendGroup{434, 0, 186, 68};
constexpr Box kCommandGroup{234, 70, 386, 356};
constexpr Box kTabs{240, 80, 374, 340};
constexpr Box kResultGroup{624, 0, 162, 212};
constexpr Box kLogGroup{624, 214, 162, 212};
constexpr Box kPageArea{246, 106, 362, 308};

Box inside(const Box& group) {
    return {group.x + 6, group.y + 16, group.w - 12, group.h - 22};
}

Box mainArea(Id id) {
    switch (id) {
    case Id::OnlineList:
        return kOnlineList;
    case Id::ListenerGroup:
        return kListenerGroup;
    case Id::SendGroup:
        return kSendGroup;
    case Id::CommandGroup:
        return kCommandGroup;
    case Id::Pages:
        return kTabs;
    case Id::ResultGroup:
        return kResultGroup;
    case Id::LogGroup:
        return kLogGroup;
    default:
        return {};
    }
}

// The grid of a container: a group box by its ID, or a page (parent None) by the page.
Grid gridOf(Id parent, ui::Page page) {
    switch (parent) {
    case Id::ListenerGroup:
        return {kListenerGroup.x + 8, kListenerGroup.y + 18, {48, 36, 48, 36}, 21, 4};
    case Id::SendGroup:
        return {kSendGroup.x + 8, kSendGroup.y + 18, {24, 60, 30, 44}, 21, 4};
    case Id::TimeGroup:
        return {kPageArea.x + 8, kPageArea.y + 20, {34, 70, 8, 70}, 22, 6};
    case Id::AmountGroup:
        return {kPageArea.x + 220 + 8, kPageArea.y + 20, {56, 60}, 22, 6};
    case Id::DatabaseGroup:
        return {kPageArea.x + 144 + 8, kPageArea.y + 20, {62, 134}, 22, 8};
    default:
        break;
    }
    switch (page) {
    case ui::Page::Basic:
        return {kPageArea.x + 6, kPageArea.y + 8, {76, 112, 70, 70}, 23, 10};
    case ui::Page::Periods:
        return {kPageArea.x, kPageArea.y, {214, 146}, 172, 6};
    case ui::Page::Whitelist:
        return {kPageArea.x + 2, kPageArea.y + 2, {64, 134, 40, 100}, 22, 6};
    case ui::Page::DataConfig:
        return {kPageArea.x, kPageArea.y, {140, 218}, 214, 4};
    default:
        return {0, 0, {0}, 0, 0};
    }
}

} // namespace

Box pageArea() {
    return kPageArea;
}

Box layoutBox(const ui::Control& c) {
    if (const Box area = mainArea(c.id); area.w > 0 || (c.parent == Id::None && c.page == ui::Page::None))
        return area;
    // A text box fills its group.
    if (c.kind == ui::Kind::TextBox)
        return inside(mainArea(c.parent));
    const Grid grid = gridOf(c.parent, c.page);
    Box b = grid.cell(c.row, c.column, c.rowSpan, c.columnSpan);
    if (c.kind == ui::Kind::Combo)
        b.h = kComboDropHeight;
    // A list on a page reaches down to the page's foot, as in the Qt window.
    if (c.kind == ui::Kind::ListView && c.page != ui::Page::None)
        b.h = kPageArea.y + kPageArea.h - 4 - b.y;
    if (c.kind == ui::Kind::Group && c.page != ui::Page::None) {
        // A group on a page is as tall as its rows and a margin.
        int rows = 0;
        for (const ui::Control& child : ui::controls()) {
            if (child.parent == c.id)
                rows = std::max(rows, child.row + child.rowSpan);
        }
        const Grid inner = gridOf(c.id, c.page);
        b.h = (inner.y - b.y) + rows * (inner.rowHeight + inner.gap) + 4;
    }
    return b;
}

} // namespace vorlanx::winshell
