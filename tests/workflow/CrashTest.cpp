// A conversion killed at any byte it writes leaves the target as its old content, the complete
// 1.01 file (1.00 sources) or the complete 1.02 file, a backup that is complete or absent, and no
// temporary file. Each run is a child process that the fault seam kills, as kill -9 would.
#include "platform/Platform.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs the conversion in a child process that is killed after `bytes` bytes were written; true when
// the child was killed (false: the conversion ended first).
bool ConvertKilledAfter(std::uint64_t bytes, const std::string& source, const std::string& target) {
    const pid_t child = ::fork();
    if (child == 0) {
        platform::InjectCrashAfter(bytes);
        ConversionState state{source, target, "", {}};
        auto ws = std::make_unique<WorkingSet>();
        test::RecordingMessages yes;
        RunConversion(state, *ws, yes);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST(Crash, EveryKillLeavesTheTargetWholeAndNoTemporaryFile) {
    struct Path {
        const char* what;
        FileVersion version;
        bool inPlace;
    };
    for (const Path& path :
         {Path{"1.00 in place", FileVersion::V100, true}, Path{"1.01 in place", FileVersion::V101, true},
          Path{"1.00 over another file", FileVersion::V100, false}}) {
        SCOPED_TRACE(path.what);
        const auto project = test::SampleProject({.anchorCount = 1});
        const Bytes source = test::FileBytes(path.version, *project), other(5000, 'o');
        project->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}};
        const Bytes as101 = test::FileBytes(FileVersion::V101, *project),
                    as102 = test::FileBytes(FileVersion::V102, *project);
        const std::uint64_t total =
            source.size() + (path.version == FileVersion::V100 ? as101.size() : 0) + as102.size();
        int killed = 0;
        // Every write's first and last bytes, and points in between.
        for (std::uint64_t at = 0; at <= total; at += at < 64 ? 16 : 4999) {
            test::TempDir dir;
            test::WriteBytes(dir.file("site.zel"), source);
            const Bytes before = path.inPlace ? source : other;
            if (!path.inPlace) test::WriteBytes(dir.file("out.zel"), other);
            const std::string target = dir.file(path.inPlace ? "site.zel" : "out.zel");
            killed += ConvertKilledAfter(at, dir.file("site.zel"), target);
            test::Snapshot files = test::SnapshotOf(dir.path());
            const Bytes result = files[path.inPlace ? "site.zel" : "out.zel"];
            EXPECT_TRUE(result == before || result == as102 ||
                        (path.version == FileVersion::V100 && result == as101))
                << "killed after " << at << " bytes";
            const std::string backup = path.inPlace ? "site.bak" : "out.bak";
            EXPECT_TRUE(!files.count(backup) || files[backup] == source) << at;
            EXPECT_LE(files.size(), path.inPlace ? 2u : 3u) << "a temporary file stayed after " << at;
        }
        EXPECT_GT(killed, 20);
    }
}

} // namespace
} // namespace zel
#endif
