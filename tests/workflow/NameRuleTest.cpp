// The name rule that settles the target name and derives the backup name.
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct NameCase {
    const char* name;
    const char* extension;
    const char* expected;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name << " + " << c.extension;
}

class NameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRule, DerivesTheName) {
    const NameCase& c = GetParam();
    EXPECT_EQ(DeriveName(c.name, c.extension), c.expected);
}

TEST_P(NameRule, TargetExtensionIsWrittenIntoTheTargetField) {
    const NameCase& c = GetParam();
    if (std::string(c.extension) == ".bak") GTEST_SKIP() << "the backup extension makes a copy instead";
    ConversionState state{"source", "old text", "earlier.bak"};
    test::RecordingMessages messages;
    EXPECT_EQ(SetExtension(state, c.name, c.extension, messages), 0);
    EXPECT_EQ(state.imText2, c.expected);
    EXPECT_EQ(state.imText1, "source");
    EXPECT_EQ(state.BackupFileName, "earlier.bak");
    EXPECT_TRUE(messages.shown.empty());
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Backslash, NameRule,
    ::testing::Values(NameCase{"C:\\data\\site.zel", ".zel", "C:\\data\\site.zel"},
                      NameCase{"C:\\data\\site", ".zel", "C:\\data\\site.zel"},
                      NameCase{"C:\\data\\site.ZEL", ".zel", "C:\\data\\site.ZEL.zel"},
                      NameCase{"C:\\data\\site.zel.old", ".zel", "C:\\data\\site.zel.zel"},
                      NameCase{"C:\\data\\site.zelx", ".zel", "C:\\data\\site..zel"},
                      NameCase{"C:\\my.zel\\site", ".zel", "C:\\my.zel\\site.zel"},
                      NameCase{"site.zel", ".zel", "site.zel"},
                      NameCase{"C:\\data\\site.zel", ".bak", "C:\\data\\site.bak"},
                      NameCase{"C:\\data\\site.ZEL.zel", ".bak", "C:\\data\\site.ZEL.bak"},
                      // The forward slash is an ordinary character of a name here.
                      NameCase{"C:\\data/my.zel/site", ".zel", "C:\\data/my.zel/.zel"},
                      // Characters, not bytes: the last four characters are "l.旧版".
                      NameCase{"C:\\データ\\現場.zel.旧版", ".zel", "C:\\データ\\現場.ze.zel"},
                      NameCase{"C:\\現場.zel\\名前", ".zel", "C:\\現場.zel\\名前.zel"}));
#else
INSTANTIATE_TEST_SUITE_P(Slash, NameRule,
                         ::testing::Values(NameCase{"/data/site.zel", ".zel", "/data/site.zel"},
                                           NameCase{"/data/site", ".zel", "/data/site.zel"},
                                           NameCase{"/data/site.ZEL", ".zel", "/data/site.ZEL.zel"},
                                           NameCase{"/data/site.zel.old", ".zel", "/data/site.zel.zel"},
                                           NameCase{"/data/site.zelx", ".zel", "/data/site..zel"},
                                           NameCase{"/my.zel/site", ".zel", "/my.zel/site.zel"},
                                           NameCase{"site.zel", ".zel", "site.zel"},
                                           NameCase{"/data/site.zel", ".bak", "/data/site.bak"},
                                           NameCase{"/data/site.ZEL.zel", ".bak", "/data/site.ZEL.bak"},
                                           // The backslash is an ordinary character of a name here.
                                           NameCase{"/data/C:\\my.zel\\site", ".zel",
                                                    "/data/C:\\my.zel\\.zel"},
                                           // Characters, not bytes: the last four characters are "l.旧版".
                                           NameCase{"/データ/現場.zel.旧版", ".zel", "/データ/現場.ze.zel"},
                                           NameCase{"/現場.zel/名前", ".zel", "/現場.zel/名前.zel"},
                                           NameCase{"/データ/現場.zel", ".bak", "/データ/現場.bak"},
                                           // A field of blanks is a name like any other.
                                           NameCase{"   ", ".zel", "   .zel"}));
#endif

} // namespace
} // namespace zel
