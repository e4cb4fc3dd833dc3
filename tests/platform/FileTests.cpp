// Files: existence and kinds of names, reading, crash-safe replacement, the no-replace copy and
// the injected faults.
#include "platform/Platform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel::platform {
namespace {

namespace fs = std::filesystem;
using test::ListFolder;
using test::PathFromUtf8;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOld = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', ' ', 'l', 'o', 'n', 'g', 'e', 'r'};
const Bytes kNew = {'n', 'e', 'w', 0, 0xFF, 0x0D};

void MakeReadOnly(const std::string& name) {
    fs::permissions(PathFromUtf8(name),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// Switches injected faults off again whatever a test leaves pending.
class Files : public ::testing::Test {
protected:
    void TearDown() override {
        InjectWriteFault(0, 0);
        InjectReadFault(0);
    }
    TempDir dir;
};

// --- FileExists -----------------------------------------------------------------------------

TEST_F(Files, ExistenceCountsOrdinaryFilesOnlyAndKindsTellWhatANameIs) {
    WriteBytes(dir.file("plain.zel"), kOld);
    WriteBytes(dir.file("locked.zel"), kOld);
    MakeReadOnly(dir.file("locked.zel"));
    fs::create_directory(PathFromUtf8(dir.file("folder.zel")));
    struct Case {
        std::string leaf;
        bool exists;
        NameKind kind;
    };
    std::vector<Case> cases = {{"plain.zel", true, NameKind::File},
                               {"locked.zel", true, NameKind::File},
                               {"folder.zel", false, NameKind::Folder},
                               {"gone.zel", false, NameKind::Missing}};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.file("pipe.zel").c_str(), 0644), 0);
    fs::create_symlink(dir.file("plain.zel"), dir.file("link.zel"));
    fs::create_symlink(dir.file("folder.zel"), dir.file("dirlink.zel"));
    fs::create_symlink(dir.file("gone.zel"), dir.file("dangling.zel"));
    fs::create_symlink("loop.zel", dir.file("loop.zel"));
    cases.insert(cases.end(), {{"pipe.zel", false, NameKind::Special},
                               {"link.zel", true, NameKind::File},
                               {"dirlink.zel", false, NameKind::Folder},
                               {"dangling.zel", false, NameKind::Missing},
                               {"loop.zel", false, NameKind::LinkLoop},
                               {"/dev/null", false, NameKind::Special}});
#endif
    for (const auto& c : cases) {
        const std::string name = c.leaf[0] == '/' ? c.leaf : dir.file(c.leaf);
        EXPECT_EQ(FileExists(name), c.exists) << c.leaf;
        EXPECT_EQ(KindOfName(name), c.kind) << c.leaf;
    }
    EXPECT_FALSE(FileExists(""));
}

// --- ReplaceFileContents ----------------------------------------------------------------------

TEST_F(Files, FailuresLeaveTargetAndFolderAsTheyWere) {
    auto name = dir.file("t.zel"), locked = dir.file("u.zel");
    WriteBytes(name, kOld);
    WriteBytes(locked, kOld);
    MakeReadOnly(locked);
    fs::create_directory(PathFromUtf8(dir.file("sub")));
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string target;
        int code;
    };
    const Case cases[] = {
        {"disk full", [] { InjectWriteFault(code::DiskFull); }, name, code::DiskFull},
        {"device error", [] { InjectWriteFault(code::DeviceIO); }, name, code::DeviceIO},
        {"missing folder", [] {}, dir.file("nowhere") + kSeparator + "t.zel", code::PathNotFound},
        {"folder as target", [] {}, dir.file("sub"), code::PathFileAccess},
        {"read-only target", [] {}, locked, code::PathFileAccess},
        {"failing producer", [] {}, name, 0},
    };
    for (const auto& c : cases) {
        c.arrange();
        if (c.code == 0) { // an exception while the content is made passes through, leaving nothing
            EXPECT_THROW(ReplaceFileContents(c.target,
                                             [](const ContentWriter& write) {
                                                 write(kNew.data(), kNew.size());
                                                 throw std::runtime_error("stop");
                                             }),
                         std::runtime_error);
        } else {
            auto error = ReplaceFileContents(c.target, kNew);
            ASSERT_TRUE(error) << c.what;
            EXPECT_EQ(error->code, c.code) << c.what;
            EXPECT_FALSE(error->description.empty()) << c.what;
            if (c.code == code::DeviceIO) { // the system's own words in brackets, one full stop
                const std::string text = error->description, open = "デバイス I/O エラーが発生しました (";
                EXPECT_EQ(text.substr(0, open.size()), open);
                EXPECT_EQ(text.find("。"), text.size() - std::string("。").size()) << text;
            }
        }
        EXPECT_EQ(ReadBytes(name), kOld) << c.what;
        EXPECT_EQ(ReadBytes(locked), kOld) << c.what;
        EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"sub", "t.zel", "u.zel"})) << c.what;
    }
    // A fault counts down: two failures, then the write goes through.
    InjectWriteFault(code::DiskFull, 2);
    EXPECT_TRUE(ReplaceFileContents(name, kNew));
    EXPECT_TRUE(ReplaceFileContents(name, kNew));
    EXPECT_EQ(ReplaceFileContents(name, kNew), std::nullopt);
    EXPECT_EQ(ReadBytes(name), kNew);
}

#ifndef _WIN32
TEST_F(Files, ReplaceKeepsPermissionBitsAndFollowsLinks) {
    auto name = dir.file("real.zel");
    WriteBytes(name, kOld);
    fs::permissions(name, fs::perms(0640));
    fs::create_symlink("real.zel", dir.file("link.zel"));
    EXPECT_EQ(ReplaceFileContents(dir.file("link.zel"), kNew), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.zel")));
    EXPECT_EQ(ReadBytes(name), kNew);
    EXPECT_EQ(fs::status(name).permissions(), fs::perms(0640));
    // Root replaces another user's file without taking it over.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(name.c_str(), 65534, 65534), 0);
        EXPECT_EQ(ReplaceFileContents(name, kOld), std::nullopt);
        struct stat st {};
        ASSERT_EQ(::stat(name.c_str(), &st), 0);
        EXPECT_TRUE(st.st_uid == 65534 && st.st_gid == 65534 && (st.st_mode & 07777) == 0640);
    }
    // A link to a missing file creates that file.
    fs::create_symlink(dir.file("made.zel"), dir.file("dangling.zel"));
    EXPECT_EQ(ReplaceFileContents(dir.file("dangling.zel"), kNew), std::nullopt);
    EXPECT_EQ(ReadBytes(dir.file("made.zel")), kNew);
}

// Runs `body` as an ordinary user, for whom folder permissions count: in a child process that
// gives up root when the tests run as root. Returns what `body` returned.
int AsOrdinaryUser(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST_F(Files, FolderWithoutWritePermission) {
    auto writable = dir.file("writable.zel");
    auto locked = dir.file("locked.zel");
    WriteBytes(writable, kOld);
    WriteBytes(locked, kOld);
    fs::permissions(writable, fs::perms(0666));
    fs::permissions(locked, fs::perms(0444));
    fs::permissions(dir.path(), fs::perms(0555));
    auto codeOf = [](const std::string& target) {
        auto error = ReplaceFileContents(target, kNew);
        return error ? error->code : 0;
    };
    // Nothing is written where no new file may be made, not even into a writable target.
    EXPECT_EQ(AsOrdinaryUser([&] { return codeOf(writable); }), code::PathFileAccess);
    EXPECT_EQ(ReadBytes(writable), kOld);
    EXPECT_EQ(AsOrdinaryUser([&] { return codeOf(locked); }), code::PathFileAccess);
    EXPECT_EQ(ReadBytes(locked), kOld);
    EXPECT_EQ(AsOrdinaryUser([&] { return codeOf(dir.file("new.zel")); }), code::PathFileAccess);
    fs::permissions(dir.path(), fs::perms(0755));
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"locked.zel", "writable.zel"}));
}
#endif

// Temporary files that a killed run left for a target are removed by the next write of it; one
// that a live writer holds stays, as do files of other targets.
TEST_F(Files, LeftoversOfKilledRunsAreRemovedAndNamesNearTheLimitFit) {
    const std::string mark(kTemporaryMark);
    const std::string dead = "." + std::string("t.zel") + mark + "abc123", alive = ".t.zel" + mark + "xyz789",
                      other = ".u.zel" + mark + "abc123";
    for (const auto& leaf : {dead, alive, other})
        WriteBytes(dir.file(leaf), kOld);
#ifdef _WIN32
    HANDLE held = CreateFileW(PathFromUtf8(dir.file(alive)).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    const int held = ::open(dir.file(alive).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
#endif
    EXPECT_EQ(ReplaceFileContents(dir.file("t.zel"), kNew), std::nullopt);
#ifdef _WIN32
    CloseHandle(held);
#else
    ::close(held);
#endif
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{alive, other, "t.zel"}));

    // A name of the longest length a folder allows still gets a temporary name that fits.
    const std::string longest = std::string(255 - 4, 'n') + ".zel";
    EXPECT_EQ(ReplaceFileContents(dir.file(longest), kNew), std::nullopt);
    FileError error;
    EXPECT_EQ(CopyFileNoReplace(dir.file(longest), dir.file(std::string(255 - 4, 'n') + ".bak"), error),
              CopyResult::Copied);
    EXPECT_EQ(ListFolder(dir.path()).size(), 5u);
}

// --- CopyFileNoReplace ------------------------------------------------------------------------

TEST_F(Files, CopyMakesAWholeCopyOrNothingAndNeverReplaces) {
    // Characters outside code page 932, one of them outside the basic plane, on both systems.
    const Bytes source(100000, 0x5C);
    WriteBytes(dir.file("測定①𠮷.zel"), source);
    FileError error;
    EXPECT_EQ(CopyFileNoReplace(dir.file("測定①𠮷.zel"), dir.file("𠮷.bak"), error), CopyResult::Copied);
    EXPECT_EQ(ReadBytes(dir.file("𠮷.bak")), source);

    WriteBytes(dir.file("old.bak"), kOld);
    WriteBytes(dir.file("locked.bak"), kOld);
    MakeReadOnly(dir.file("locked.bak"));
    fs::create_directory(PathFromUtf8(dir.file("folder.bak")));
#ifndef _WIN32
    fs::create_symlink(dir.file("gone"), dir.file("dangling.bak"));
#endif
    const auto before = test::SnapshotOf(dir.path());
    const std::string from = dir.file("測定①𠮷.zel");
    struct Case {
        std::string source, target;
        CopyResult result;
        int code, fault;
    };
    const Case cases[] = {
        {from, dir.file("old.bak"), CopyResult::TargetExists, 0, 0},
        {from, dir.file("locked.bak"), CopyResult::TargetExists, 0, 0},
        {from, dir.file("folder.bak"), CopyResult::TargetExists, 0, 0},
        {from, dir.file("dangling.bak"), CopyResult::TargetExists, 0, 0},
        {dir.file("gone.zel"), dir.file("a.bak"), CopyResult::Failed, code::FileNotFound, 0},
        {from, dir.file("nowhere") + kSeparator + "a.bak", CopyResult::Failed, code::PathNotFound, 0},
        {from, dir.file("a.bak"), CopyResult::Failed, code::DiskFull, code::DiskFull},
        {from, dir.file("a.bak"), CopyResult::Failed, code::DeviceIO, code::DeviceIO},
    };
    for (const auto& c : cases) {
#ifdef _WIN32
        if (c.target == dir.file("dangling.bak")) continue;
#endif
        InjectWriteFault(c.fault);
        EXPECT_EQ(CopyFileNoReplace(c.source, c.target, error), c.result) << c.target;
        if (c.result == CopyResult::Failed) {
            EXPECT_EQ(error.code, c.code) << c.target;
        }
        EXPECT_EQ(test::SnapshotOf(dir.path()), before) << c.target;
    }
}

// --- Windows attributes and names -----------------------------------------------------------

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

TEST_F(Files, HiddenAndSystemFilesDoNotCount) {
    const struct {
        const char* leaf;
        DWORD attributes;
        bool exists;
    } cases[] = {{"hidden.zel", FILE_ATTRIBUTE_HIDDEN, false},
                 {"system.zel", FILE_ATTRIBUTE_SYSTEM, false},
                 {"archive.zel", FILE_ATTRIBUTE_ARCHIVE, true},
                 {"readonly.zel", FILE_ATTRIBUTE_READONLY, true}};
    for (const auto& c : cases) {
        WriteBytes(dir.file(c.leaf), kOld);
        ASSERT_TRUE(SetFileAttributesW(Wide(dir.file(c.leaf)).c_str(), c.attributes));
        EXPECT_EQ(FileExists(dir.file(c.leaf)), c.exists) << c.leaf;
    }
}

TEST_F(Files, ReplaceKeepsTheTargetsAttributes) {
    auto name = dir.file("kept.zel");
    WriteBytes(name, kOld);
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    ASSERT_TRUE(SetFileAttributesW(Wide(name).c_str(), kept));
    const DWORD before = GetFileAttributesW(Wide(name).c_str()) & kept;
    if (before == 0) GTEST_SKIP() << "this file system keeps neither attribute";
    EXPECT_EQ(ReplaceFileContents(name, kNew), std::nullopt);
    EXPECT_EQ(ReadBytes(name), kNew);
    EXPECT_EQ(GetFileAttributesW(Wide(name).c_str()) & kept, before);
}

#endif

} // namespace
} // namespace zel::platform
