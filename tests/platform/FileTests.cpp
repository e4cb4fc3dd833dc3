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

// --- Reading --------------------------------------------------------------------------------

// Everything an InputFile delivers, or nothing when it cannot be opened or read.
std::optional<Bytes> ReadAll(const std::string& name) {
    InputFile file;
    if (!file.Open(name)) return std::nullopt;
    Bytes bytes(static_cast<std::size_t>(file.Size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        auto got = file.Read(bytes.data() + done, bytes.size() - done);
        if (!got || *got == 0) return std::nullopt;
        done += *got;
    }
    return bytes;
}

TEST_F(Files, ReadsSequentiallyAndReleasesTheFile) {
    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    auto name = dir.file("データ.zel");
    WriteBytes(name, big);
    EXPECT_EQ(ReadAll(name), big);
    // Nothing stays open: Windows refuses to delete an open file.
    EXPECT_TRUE(fs::remove(PathFromUtf8(name)));
    EXPECT_FALSE(ReadAll(name));
    InjectReadFault(1);
    WriteBytes(name, kOld);
    EXPECT_FALSE(ReadAll(name));
    EXPECT_EQ(ReadAll(name), kOld);
}

// --- ReplaceFileContents ----------------------------------------------------------------------

TEST_F(Files, ReplaceCreatesOrReplacesWithExactlyTheNewBytes) {
    auto fresh = dir.file("新しい.zel");
    auto longer = dir.file("long.zel");
    WriteBytes(longer, kOld);
    for (const auto& name : {fresh, longer}) {
        EXPECT_EQ(ReplaceFileContents(name, kNew), std::nullopt) << name;
        EXPECT_EQ(ReadBytes(name), kNew);
    }
    EXPECT_EQ(ReplaceFileContents(longer, Bytes{}), std::nullopt);
    EXPECT_EQ(ReadBytes(longer), Bytes{});
    // A name relative to the current folder, as the command line gets it.
    const auto previous = fs::current_path();
    fs::current_path(dir.path());
    auto relative = ReplaceFileContents("long.zel", kOld);
    fs::current_path(previous);
    EXPECT_EQ(relative, std::nullopt);
    EXPECT_EQ(ReadBytes(longer), kOld);
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"long.zel", "新しい.zel"}));
}

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

TEST_F(Files, CopiesToAJapaneseNameWithoutLeftovers) {
    Bytes source(100000, 0x5C);
    source[0] = 0x00;
    WriteBytes(dir.file("旧データ.zel"), source);
    FileError error;
    EXPECT_EQ(CopyFileNoReplace(dir.file("旧データ.zel"), dir.file("旧データ.bak"), error),
              CopyResult::Copied);
    EXPECT_EQ(ReadBytes(dir.file("旧データ.bak")), source);
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"旧データ.bak", "旧データ.zel"}));
}

TEST_F(Files, CopyNeverReplacesAnything) {
    WriteBytes(dir.file("s.zel"), kNew);
    WriteBytes(dir.file("old.bak"), kOld);
    WriteBytes(dir.file("locked.bak"), kOld);
    MakeReadOnly(dir.file("locked.bak"));
    fs::create_directory(PathFromUtf8(dir.file("folder.bak")));
    std::vector<std::string> leaves = {"old.bak", "locked.bak", "folder.bak"};
#ifndef _WIN32
    fs::create_symlink(dir.file("gone"), dir.file("dangling.bak"));
    leaves.push_back("dangling.bak");
#endif
    auto before = ListFolder(dir.path());
    for (const auto& leaf : leaves) {
        FileError error;
        EXPECT_EQ(CopyFileNoReplace(dir.file("s.zel"), dir.file(leaf), error), CopyResult::TargetExists)
            << leaf;
    }
    EXPECT_EQ(ReadBytes(dir.file("old.bak")), kOld);
    EXPECT_EQ(ListFolder(dir.path()), before);
}

TEST_F(Files, FailedCopyLeavesNoFile) {
    WriteBytes(dir.file("s.zel"), kOld);
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string source, target;
        int code;
    };
    const Case cases[] = {
        {"missing source", [] {}, dir.file("gone.zel"), dir.file("a.bak"), code::FileNotFound},
        {"missing folder", [] {}, dir.file("s.zel"), dir.file("nowhere") + kSeparator + "a.bak",
         code::PathNotFound},
        {"disk full", [] { InjectWriteFault(code::DiskFull); }, dir.file("s.zel"), dir.file("a.bak"),
         code::DiskFull},
        {"device error", [] { InjectWriteFault(code::DeviceIO); }, dir.file("s.zel"), dir.file("a.bak"),
         code::DeviceIO},
    };
    for (const auto& c : cases) {
        c.arrange();
        FileError error;
        EXPECT_EQ(CopyFileNoReplace(c.source, c.target, error), CopyResult::Failed) << c.what;
        EXPECT_EQ(error.code, c.code) << c.what;
        EXPECT_FALSE(error.description.empty()) << c.what;
        EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"s.zel"}) << c.what;
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

TEST_F(Files, ReadOnlyAttributeIsRefusedWith75) {
    auto name = dir.file("ro.zel");
    WriteBytes(name, kOld);
    ASSERT_TRUE(SetFileAttributesW(Wide(name).c_str(), FILE_ATTRIBUTE_READONLY));
    auto error = ReplaceFileContents(name, kNew);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, code::PathFileAccess);
    EXPECT_EQ(ReadBytes(name), kOld);
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

TEST_F(Files, WideCharacterNames) {
    // Characters outside code page 932, one of them outside the basic plane.
    const std::string leaf = "測定①𠮷ü.zel";
    auto name = dir.file(leaf);
    EXPECT_EQ(ReplaceFileContents(name, kNew), std::nullopt);
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(ReadAll(name), kNew);
    FileError error;
    EXPECT_EQ(CopyFileNoReplace(name, dir.file("𠮷.bak"), error), CopyResult::Copied);
    EXPECT_EQ(ReadBytes(dir.file("𠮷.bak")), kNew);
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{leaf, "𠮷.bak"}));
}
#endif

} // namespace
} // namespace zel::platform
