// The name rule that settles the target name and derives the backup name.
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct NameCase {
    const char* name;
    const char* expected;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class TargetName : public ::testing::TestWithParam<NameCase> {};
class BackupName : public ::testing::TestWithParam<NameCase> {};

TEST_P(BackupName, DerivesTheName) {
    const NameCase& c = GetParam();
    EXPECT_EQ(DeriveName(c.name, ".bak"), c.expected);
}

TEST_P(TargetName, IsWrittenIntoTheTargetField) {
    const NameCase& c = GetParam();
    EXPECT_EQ(DeriveName(c.name, ".zel"), c.expected);
    ConversionState state{"source", "old text", "earlier.bak"};
    test::RecordingMessages messages;
    EXPECT_EQ(SetExtension(state, c.name, ".zel", messages), 0);
    EXPECT_EQ(state.imText2, c.expected);
    EXPECT_EQ(state.imText1, "source");
    EXPECT_EQ(state.BackupFileName, "earlier.bak");
    EXPECT_TRUE(messages.shown.empty());
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Backslash, TargetName,
                         ::testing::Values(NameCase{"C:\\data\\site.zel", "C:\\data\\site.zel"},
                                           NameCase{"C:\\data\\site", "C:\\data\\site.zel"},
                                           NameCase{"C:\\data\\site.ZEL", "C:\\data\\site.ZEL.zel"},
                                           NameCase{"C:\\data\\site.zel.old", "C:\\data\\site.zel.zel"},
                                           NameCase{"C:\\data\\site.zelx", "C:\\data\\site..zel"},
                                           NameCase{"C:\\my.zel\\site", "C:\\my.zel\\site.zel"},
                                           NameCase{"site.zel", "site.zel"},
                                           // The forward slash is an ordinary character of a name here.
                                           NameCase{"C:\\data/my.zel/site", "C:\\data/my.zel/.zel"},
                                           // Characters, not bytes: the last four characters are "l.旧版".
                                           NameCase{"C:\\データ\\現場.zel.旧版", "C:\\データ\\現場.ze.zel"},
                                           NameCase{"C:\\現場.zel\\名前", "C:\\現場.zel\\名前.zel"}));
INSTANTIATE_TEST_SUITE_P(Backslash, BackupName,
                         ::testing::Values(NameCase{"C:\\data\\site.zel", "C:\\data\\site.bak"},
                                           NameCase{"C:\\data\\site.ZEL.zel", "C:\\data\\site.ZEL.bak"},
                                           NameCase{"C:\\データ\\現場.zel", "C:\\データ\\現場.bak"}));
#else
INSTANTIATE_TEST_SUITE_P(Slash, TargetName,
                         ::testing::Values(NameCase{"/data/site.zel", "/data/site.zel"},
                                           NameCase{"/data/site", "/data/site.zel"},
                                           NameCase{"/data/site.ZEL", "/data/site.ZEL.zel"},
                                           NameCase{"/data/site.zel.old", "/data/site.zel.zel"},
                                           NameCase{"/data/site.zelx", "/data/site..zel"},
                                           NameCase{"/my.zel/site", "/my.zel/site.zel"},
                                           NameCase{"site.zel", "site.zel"},
                                           // The backslash is an ordinary character of a name here.
                                           NameCase{"/data/C:\\my.zel\\site", "/data/C:\\my.zel\\.zel"},
                                           // Characters, not bytes: the last four characters are "l.旧版".
                                           NameCase{"/データ/現場.zel.旧版", "/データ/現場.ze.zel"},
                                           NameCase{"/現場.zel/名前", "/現場.zel/名前.zel"},
                                           // A field of blanks is a name like any other.
                                           NameCase{"   ", "   .zel"}));
INSTANTIATE_TEST_SUITE_P(Slash, BackupName,
                         ::testing::Values(NameCase{"/data/site.zel", "/data/site.bak"},
                                           NameCase{"/data/site.ZEL.zel", "/data/site.ZEL.bak"},
                                           NameCase{"/データ/現場.zel", "/データ/現場.bak"}));
#endif

} // namespace
} // namespace zel
