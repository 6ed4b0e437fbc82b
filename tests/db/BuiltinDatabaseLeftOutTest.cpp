// Built only where the built-in database is left out (the Windows build without an SQLite for
// mingw-w64): its own tests are not compiled, and the service must refuse it cleanly.

#include "db/ServiceDatabase.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

namespace {

using namespace vorlanx::db;

TEST(BuiltinDatabase, LeftOutOfThisBuild) {
    GTEST_SKIP() << "the built-in database (SQLite) is not part of this build; its tests do not run";
}

TEST(ServiceDatabase, BuiltinKindFailsCleanlyWhereItIsLeftOut) {
    vorlanx::test::SettingsTestDir dir("vorlanx-noBuiltin");
    ServiceDatabase db(dir.path());
    vorlanx::config::ConnectionSettings settings;
    settings.kind = vorlanx::config::DatabaseKind::Builtin;
    settings.name = "canteen";
    EXPECT_FALSE(db.connectWith(settings));
    EXPECT_FALSE(db.isConnected());
    EXPECT_EQ(db.kind(), vorlanx::config::DatabaseKind::None);
    EXPECT_FALSE(db.runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = ''").isOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
