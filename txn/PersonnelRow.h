#pragma once

#include <string>

namespace vorlanx::txn {

// One person of the personnel list, as the whitename procedure returned it. The card number is
// decimal text, shown and later downloaded unchanged.
struct PersonnelRow {
    std::string code;       // 编号, hr_code
    std::string name;       // 姓名, hr_name
    std::string department; // 部门, dept_name
    std::string card;       // 卡号, hr_phyid

    bool operator==(const PersonnelRow&) const = default;
};

} // namespace vorlanx::txn
