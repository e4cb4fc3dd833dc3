// The name rule that settles the target name and derives the backup name.
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct NameCase {
    std::string name, extension, expected;
};

TEST(NameRule, DerivesNamesByCharactersInTheLastComponent) {
#ifdef _WIN32
    const std::string s = "\\";
    const NameCase slashCase{"C:\\data/my.zel/site", ".zel", "C:\\data/my.zel/.zel"}; // "/" is no separator
#else
    const std::string s = "/";
    const NameCase slashCase{"/data/C:\\my.zel\\site", ".zel",
                             "/data/C:\\my.zel\\.zel"}; // "\" is no separator
#endif
    const std::string d = "C:" + s + "data" + s;
    const NameCase cases[] = {
        {d + "site.zel", ".zel", d + "site.zel"},
        {d + "site", ".zel", d + "site.zel"},
        {d + "site.ZEL", ".zel", d + "site.ZEL.zel"},
        {d + "site.zel.old", ".zel", d + "site.zel.zel"},
        {d + "site.zelx", ".zel", d + "site..zel"},
        {"C:" + s + "my.zel" + s + "site", ".zel", "C:" + s + "my.zel" + s + "site.zel"},
        {"site.zel", ".zel", "site.zel"},
        {d + "site.zel", ".bak", d + "site.bak"},
        {d + "site.ZEL.zel", ".bak", d + "site.ZEL.bak"},
        slashCase,
        {d + "現場.zel.旧版", ".zel", d + "現場.ze.zel"},  // four characters dropped, not four bytes
        {d + "site.zel𠮷𠮷𠮷", ".zel", d + "site.ze.zel"}, // characters of four bytes each
        {"現場.zel" + s + "名前", ".zel", "現場.zel" + s + "名前.zel"},
        {"   ", ".zel", "   .zel"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(DeriveName(c.name, c.extension), c.expected) << c.name;
}

} // namespace
} // namespace zel
