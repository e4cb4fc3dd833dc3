// A conversion whose backup or target does not read back as written: nothing takes that name, the
// user is told so, and a 1.00 file whose 1.02 step failed keeps its 1.01 step; the batch says the same.
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/Batch.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReadBack, AConversionWhoseWriteDoesNotReadBackIsToldAndLosesNothing) {
    const std::string unverified = "書き込んだ内容を確認できませんでした。",
                      kept = "元のファイルはそのままです。";
    auto project = test::SampleProject();
    project->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // what a 1.00 file gets
    const Bytes v100 = test::FileBytes(FileVersion::V100, *project),
                as101 = test::FileBytes(FileVersion::V101, *project), v101 = as101;
    // An offset past the old files and the backup: only the 1.02 file reaches it.
    const std::uint64_t past = as101.size() + 1;
    const struct {
        const char* what;
        Bytes source;
        bool readBack; // the fault: a byte read back changed, else one written changed
        std::uint64_t offset;
        Bytes after; // the file afterwards (its backup is the source, or none)
        bool backup;
        const char* shownName; // the name below the message
        std::string text, row;
    } cases[] = {
        {"the backup copy", v101, true, 10, v101, false, "site.bak", unverified + kept,
         "失敗：" + unverified + kept},
        {"the 1.02 file of a 1.01 file", v101, false, past, v101, true, "site.zel", unverified + kept,
         "失敗：" + unverified + kept},
        {"the 1.02 file of a 1.00 file", v100, false, past, as101, true, "site.zel", unverified,
         "1.01 まで変換しました：" + unverified},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool batch : {false, true}) {
            test::TempDir dir;
            test::WriteBytes(dir.file("site.zel"), c.source);
            if (c.readBack)
                platform::InjectReadBackFault(c.offset);
            else
                platform::InjectWrittenByteFault(c.offset, false);
            std::vector<BatchOutcome> outcomes;
            test::RecordingMessages messages;
            if (batch) {
                (void)RunBatch(ListBatch({dir.file("site.zel")}), outcomes, {});
                EXPECT_EQ(BatchResultText(outcomes.at(0)), c.row);
            } else {
                ConversionState state{dir.file("site.zel"), dir.file("site.zel"), "", {}};
                WorkingSet ws;
                (void)RunConversion(state, ws, messages);
                EXPECT_EQ(messages.shown.back(),
                          (test::Shown{test::Shown::Warning, c.text + NameBelow(dir.file(c.shownName))}));
            }
            test::Snapshot expected{{"site.zel", c.after}};
            if (c.backup) expected["site.bak"] = c.source;
            EXPECT_EQ(test::SnapshotOf(dir.path()), expected) << batch;
        }
    }
    platform::InjectReadBackFault(UINT64_MAX);
    platform::InjectWrittenByteFault(UINT64_MAX, false);
}

} // namespace
} // namespace zel
