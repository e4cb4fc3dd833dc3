// Files: kinds of names, crash-safe replacement, the no-replace copy, faults; code page 932; error texts.
#include "platform/Platform.h"
#include "platform/TestSeams.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#else
#include <csignal>
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
using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

const Bytes kOld = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};
const Bytes kNew = {'n', 'e', 'w', 0, 0xFF, 0x0D};

struct Files : ::testing::Test {
    void TearDown() override { InjectWriteFault(0, 0); }
    test::TempDir dir;
};

// What a name is, as the existence rule, the kind, the read-only test and its folder's listing tell it.
// A listed entry is "d" (a folder, no link), "f" (a file or a link to one) or "-", then "h" when hidden.
TEST_F(Files, NamesAreToldApartByExistenceKindReadOnlyAndListing) {
    WriteBytes(dir.file("plain.zel"), kOld);
    WriteBytes(dir.file("locked.zel"), kOld);
    fs::permissions(test::PathFromUtf8(dir.file("locked.zel")), fs::perms(0444));
    fs::create_directory(dir.path() / "folder.zel");
    // clang-format off
    // The leaf, how it is listed (empty: not in the folder), whether it exists, read-only, its kind.
    std::vector<std::tuple<std::string, std::string, bool, bool, NameKind>> cases = {
        {"plain.zel", "f", true, false, NameKind::File}, {"locked.zel", "f", true, true, NameKind::File},
        {"folder.zel", "d", false, false, NameKind::Folder}, {"", "", false, false, NameKind::Missing},
        {"gone.zel", "", false, false, NameKind::Missing}};
#ifdef _WIN32
    for (auto [leaf, attributes] :
         {std::pair{"hidden.zel", FILE_ATTRIBUTE_HIDDEN}, {"system.zel", FILE_ATTRIBUTE_SYSTEM}}) {
        WriteBytes(dir.file(leaf), kOld);
        ASSERT_TRUE(SetFileAttributesW(test::PathFromUtf8(dir.file(leaf)).c_str(), attributes));
        cases.push_back({leaf, "fh", false, false, NameKind::File});
    }
    // Under wine a FIFO or a device of the Unix side has no attributes, and is still no file.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        EXPECT_EQ(KindOfName("Z:\\dev\\null"), NameKind::Special);
    }
#else
    ASSERT_EQ(::mkfifo(dir.file("pipe.zel").c_str(), 0644), 0);
    WriteBytes(dir.file(".dot.zel"), kOld);
    fs::create_symlink(dir.file("plain.zel"), dir.file("link.zel"));
    fs::create_symlink(dir.file("folder.zel"), dir.file("link"));
    fs::create_symlink(dir.file("gone.zel"), dir.file("dangling.zel"));
    fs::create_symlink("loop.zel", dir.file("loop.zel"));
    cases.insert(cases.end(), {
        {"pipe.zel", "-", false, false, NameKind::Special}, {".dot.zel", "fh", true, false, NameKind::File},
        {"link.zel", "f", true, false, NameKind::File}, {"loop.zel", "-", false, false, NameKind::LinkLoop},
        {"dangling.zel", "-", false, false, NameKind::Missing}, {"link", "-", false, false, NameKind::Folder}});
#endif
    // clang-format on
    std::map<std::string, std::string> listed;
    for (const FolderEntry& e : platform::ListFolder(dir.file("")).value_or(std::vector<FolderEntry>{}))
        listed[e.name] += std::string(e.folder ? "d" : (e.file ? "f" : "-")) + (e.hidden ? "h" : "");
    EXPECT_EQ(listed.size(), cases.size() - 2); // each once, nothing else
    for (const auto& [leaf, listedAs, exists, readOnly, kind] : cases) {
        const std::string name = leaf.empty() ? "" : dir.file(leaf);
        EXPECT_EQ(FileExists(name), exists) << leaf;
        EXPECT_EQ(KindOfName(name), kind) << leaf;
        EXPECT_EQ(IsReadOnly(name), readOnly) << leaf;
        EXPECT_EQ(listed[leaf], listedAs) << leaf;
    }
    EXPECT_FALSE(platform::ListFolder(dir.file("gone.zel")));
}

TEST_F(Files, FailedReplacementsLeaveTargetAndFolderAsTheyWere) {
    const std::string name = dir.file("t.zel"), locked = dir.file("u.zel");
    WriteBytes(name, kOld);
    WriteBytes(locked, kOld);
    fs::permissions(test::PathFromUtf8(locked), fs::perms(0444));
    fs::create_directory(dir.path() / "sub");
    const test::Snapshot before = test::SnapshotOf(dir.path());
    // The target, the fault injected, the error. The last target names no file.
    // clang-format off
    const std::tuple<std::string, int, int> cases[] = {
        {name, code::DiskFull, code::DiskFull}, {name, code::DeviceIO, code::DeviceIO},
        {dir.file("nowhere") + kSeparator + "t.zel", 0, code::PathNotFound},
        {dir.file("sub"), 0, code::PathFileAccess}, {locked, 0, code::PathFileAccess},
        {"", 0, code::BadFileName}, {dir.file("sub") + kSeparator, 0, code::BadFileName}};
    // clang-format on
    for (const auto& [target, fault, errorCode] : cases) {
        InjectWriteFault(fault);
        const auto error = ReplaceFileContents(target, kNew).error;
        ASSERT_TRUE(error) << target;
        EXPECT_EQ(error->code, errorCode) << target;
        const std::string& text = error->description; // for DeviceIO the system's words in brackets, one "。"
        EXPECT_TRUE(errorCode != code::DeviceIO ||
                    (text.starts_with("デバイス I/O エラーが発生しました (") &&
                     text.find("。") == text.size() - std::string("。").size()))
            << text;
    }
    // An exception while the content is made passes through, leaving nothing.
    auto throwing = [](const ContentWriter& write) {
        write(kNew.data(), kNew.size());
        throw std::runtime_error("stop");
    };
    EXPECT_THROW((void)ReplaceFileContents(name, throwing), std::runtime_error);
    EXPECT_EQ(test::SnapshotOf(dir.path()), before);
}

// Temporary files that killed runs left for a name are removed, but only where that name exists
// (else they are reported, as they may hold the only copy); one that a live writer holds stays, as do
// files of other names. Names of the longest length a folder allows still get temporary names that fit.
TEST_F(Files, LeftoversOfKilledRunsAreRemovedAndNamesNearTheLimitFit) {
    const std::string mark(kTemporaryMark), dead = ".t.zel" + mark + "abc123";
    const std::string alive = ".t.zel" + mark + "xyz789", other = ".u.zel" + mark + "abc123";
    for (const auto& leaf : {dead, alive, other})
        WriteBytes(dir.file(leaf), kOld);
#ifdef _WIN32
    HANDLE held = CreateFileW(test::PathFromUtf8(dir.file(alive)).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
#else
    const int held = ::open(dir.file(alive).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
#endif
    EXPECT_EQ(RemoveLeftovers(dir.file("t.zel")), std::vector<std::string>{dir.file(dead)});
    EXPECT_EQ(ListFolder(dir.path()).size(), 3u);
    WriteBytes(dir.file("t.zel"), kOld);
    EXPECT_TRUE(RemoveLeftovers(dir.file("t.zel")).empty());
#ifdef _WIN32
    CloseHandle(held);
#else
    ::close(held);
#endif
    EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{alive, other, "t.zel"}));

    // Characters outside code page 932, one outside the basic plane, in the longest leaf allowed.
    const std::string longest = dir.file(std::string(255 - 4 - 13, 'n') + "測定①𠮷");
    EXPECT_TRUE(ReplaceFileContents(longest + ".zel", kNew).ok());
    EXPECT_TRUE(CopyFileNoReplace(longest + ".zel", longest + ".bak").ok());
    EXPECT_EQ(ReadBytes(longest + ".bak"), kNew);
    EXPECT_EQ(CopyFileNoReplace(longest + ".zel", longest + ".bak").error->code, code::FileAlreadyExists);
#ifdef _WIN32
    // Past 260 characters also when relative and written with "/".
    const test::TempDir deepDir;
    std::wstring folder = L"\\\\?\\" + fs::absolute(deepDir.path()).make_preferred().wstring();
    for (wchar_t c : {L'd', L'e', L'f'})
        ASSERT_TRUE(CreateDirectoryW((folder += L"\\" + std::wstring(100, c)).c_str(), nullptr));
    const std::string deep =
        std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(100, 'f');
    const fs::path before = fs::current_path();
    fs::current_path(deepDir.path());
    for (const std::string& name : {deep + "/r.zel", deepDir.file(deep + "/a.zel")}) {
        EXPECT_TRUE(ReplaceFileContents(name, kNew).ok()) << name;
        EXPECT_TRUE(CopyFileNoReplace(name, name + ".bak").ok()) << name;
        InputFile copy;
        EXPECT_EQ(copy.Open(name + ".bak"), OpenFailure::None) << name;
        EXPECT_EQ(copy.Size(), kNew.size()) << name;
    }
    fs::current_path(before);
#endif
    // Temporary names take all of the 255 bytes: a leftover of such a name is found too.
    const std::string full = std::string(251, 'n') + ".zel";
    WriteBytes(dir.file(full), kOld);
    WriteBytes(dir.file("." + full.substr(0, 255 - 1 - mark.size() - 6) + mark + "abc123"), kOld);
    EXPECT_TRUE(RemoveLeftovers(dir.file(full)).empty());
    EXPECT_EQ(ListFolder(dir.path()).size(), 6u);
}

// Two writers and a clean-up of the same name at once, over and over: every write ends complete or
// with an error, the name always holds one complete content, and nothing is left at the end. On a
// file system without unnamed files too, where a temporary file has a name from its first moment.
TEST_F(Files, ConcurrentWritesOfOneNameEndCompleteAndLeaveNothing) {
    const std::string name = dir.file("t.zel");
    const Bytes first(40000, 'a'), second(30000, 'b');
    for (bool withoutLinks : {false, true}) {
#ifdef _WIN32
        if (withoutLinks) continue;
#endif
        InjectFileSystemWithoutLinks(withoutLinks);
        std::atomic<int> failed{0};
        auto writer = [&](const Bytes& content) {
            for (int round = 0; round < 40; ++round) {
                failed += !ReplaceFileContents(name, content).ok();
                (void)RemoveLeftovers(name); // the result: kept names, none while the name exists
            }
        };
        WriteBytes(name, kOld);
        std::thread a(writer, std::cref(first)), b(writer, std::cref(second));
        std::set<std::size_t> seen;
        int missing = 0;
        for (int look = 0; look < 100; ++look) {
            try {
                const Bytes now = ReadBytes(name);
                if (now != kOld && now != first && now != second) seen.insert(now.size());
            } catch (const std::runtime_error&) {
                // Windows: held unshared for a moment by the writer that just renamed it.
                missing += !FileExists(name);
            }
        }
        EXPECT_EQ(missing, 0);
        a.join();
        b.join();
        EXPECT_TRUE(seen.empty()) << "contents of other sizes: " << *seen.begin();
        InjectFileSystemWithoutLinks(false);
        EXPECT_EQ(failed, 0) << withoutLinks;
        EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"t.zel"}) << withoutLinks;
    }
}

#ifdef _WIN32
// A file that another program holds open. As a target it is refused as in use after a few tries and
// nothing of the new content stays; it is replaced as soon as it is free again. Also where the file
// system renames only by name (the file is closed for the rename and opened again for the next try)
// and where it refuses the deletion mark (the file is deleted by name). As a source held without
// sharing, or open for writing, it is tried again for two seconds and then in use; one let go within
// that time opens. While it is open here, no other program can write it, and its identity can still
// be read by its name.
TEST_F(Files, FilesHeldByAnotherProgramAreInUseUntilLetGo) {
    const std::string name = dir.file("t.zel");
    const std::wstring wide = test::PathFromUtf8(name).wstring();
    for (auto [byName, unmarked] : {std::pair{false, false}, {true, false}, {false, true}}) {
        SCOPED_TRACE(testing::Message() << "by name " << byName << ", unmarked " << unmarked);
        InjectRenameByHandleRefused(byName);
        InjectDeletionMarkRefused(unmarked);
        WriteBytes(name, kOld);
        HANDLE held = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const auto error = ReplaceFileContents(name, kNew).error;
        CloseHandle(held);
        EXPECT_EQ(error ? error->code : 0, code::PermissionDenied);
        EXPECT_EQ(test::SnapshotOf(dir.path()), (test::Snapshot{{"t.zel", kOld}}));
        EXPECT_TRUE(ReplaceFileContents(name, kNew).ok());
        EXPECT_EQ(test::SnapshotOf(dir.path()), (test::Snapshot{{"t.zel", kNew}}));
    }
    InjectRenameByHandleRefused(false);
    InjectDeletionMarkRefused(false);
    const struct {
        DWORD access, share;
        DWORD letGoAfter; // milliseconds; INFINITE: held throughout
        OpenFailure opened;
    } cases[] = {{GENERIC_READ, 0, INFINITE, OpenFailure::InUse},
                 {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, INFINITE, OpenFailure::InUse},
                 {GENERIC_READ, 0, 500, OpenFailure::None}};
    for (const auto& c : cases) {
        HANDLE held = CreateFileW(wide.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        std::thread letGo;
        if (c.letGoAfter != INFINITE)
            letGo = std::thread([&] {
                Sleep(c.letGoAfter);
                CloseHandle(held);
            });
        InputFile source;
        EXPECT_EQ(source.Open(name), c.opened) << c.access << " " << c.letGoAfter;
        if (letGo.joinable())
            letGo.join();
        else
            CloseHandle(held);
    }
    InputFile source;
    ASSERT_EQ(source.Open(name), OpenFailure::None);
    EXPECT_EQ(source.Size(), kNew.size());
    EXPECT_EQ(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(IdentityOf(name), source.Identity());
}

// What a rename would not carry over is given to the new file first: the hidden and system
// attributes, and where the file system keeps them (not under wine), the creation time and a
// protected access list.
TEST_F(Files, ReplaceKeepsAttributesCreationTimeAndAccessList) {
    const std::string name = dir.file("t.zel");
    const std::wstring wide = test::PathFromUtf8(name).wstring();
    WriteBytes(name, kOld);
    const FILETIME created{0x12345678, 0x01D00000};
    HANDLE h = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(h, &created, nullptr, nullptr));
    CloseHandle(h);
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr; // each one read is left to the end of the process
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    auto protectedAcl = [&] { // also reads the list into acl
        return GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, &acl, nullptr, &security) == ERROR_SUCCESS &&
               GetSecurityDescriptorControl(security, &control, &revision) && (control & SE_DACL_PROTECTED);
    };
    (void)protectedAcl(); // the list as it is, set again as protected
    (void)SetNamedSecurityInfoW(const_cast<wchar_t*>(wide.c_str()), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, acl, nullptr);
    const bool aclKeptHere = protectedAcl();
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), hiddenSystem));
    WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
    ASSERT_TRUE(GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &before));
    ASSERT_TRUE(ReplaceFileContents(name, kNew).ok());
    EXPECT_EQ(ReadBytes(name), kNew);
    ASSERT_TRUE(GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(after.dwFileAttributes & hiddenSystem, hiddenSystem);
    EXPECT_TRUE(CompareFileTime(&before.ftCreationTime, &created) != 0 || // not kept here
                CompareFileTime(&after.ftCreationTime, &created) == 0);
    EXPECT_TRUE(!aclKeptHere || protectedAcl());
}
#else
// A replacement keeps the owner and the permissions, and follows links. A written file that cannot be
// flushed to disk is a failure that leaves the target as it was; a folder that cannot be flushed after
// the rename is a warning only (the content is in place), and none where the file system cannot flush
// folders at all.
TEST_F(Files, ReplaceKeepsOwnerAndPermissionsFollowsLinksAndFlushes) {
    const std::string name = dir.file("real.zel");
    WriteBytes(name, kOld);
    fs::permissions(name, fs::perms(0640));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(name.c_str(), 65534, 0) == 0) << "another user's file";
    fs::create_symlink("real.zel", dir.file("link.zel"));
    EXPECT_TRUE(ReplaceFileContents(dir.file("link.zel"), kNew).ok());
    struct stat st {};
    ASSERT_EQ(::lstat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(!root || (st.st_uid == 65534 && st.st_gid == 0));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.zel")));
    EXPECT_EQ(ReadBytes(name), kNew);
    // A link to a missing file creates that file.
    fs::create_symlink(dir.file("made.zel"), dir.file("dangling.zel"));
    const mode_t umask = ::umask(027); // with the permissions that the umask leaves
    EXPECT_TRUE(ReplaceFileContents(dir.file("dangling.zel"), kNew).ok());
    ::umask(umask);
    EXPECT_EQ(ReadBytes(dir.file("made.zel")), kNew);
    ASSERT_EQ(::stat(dir.file("made.zel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    WriteBytes(name, kOld);
    for (auto [folder, systemError, warned] :
         {std::tuple{false, EIO, false}, {true, EIO, true}, {true, EINVAL, false}, {true, 0, false}}) {
        InjectFlushFault(folder, systemError);
        const FileResult result = ReplaceFileContents(name, kNew);
        EXPECT_EQ(result.error ? result.error->code : 0, folder ? 0 : code::DeviceIO) << systemError;
        EXPECT_EQ(result.warning.has_value(), warned) << systemError;
        EXPECT_EQ(ReadBytes(name), folder ? kNew : kOld);
        EXPECT_EQ(ListFolder(dir.path()).size(), 4u); // real.zel, made.zel and the two links
    }
}

TEST_F(Files, NothingIsWrittenWhereNoNewFileMayBeMade) {
    for (auto [leaf, mode] : {std::pair{"writable.zel", 0666}, {"locked.zel", 0444}}) {
        WriteBytes(dir.file(leaf), kOld);
        fs::permissions(dir.file(leaf), fs::perms(mode));
    }
    fs::permissions(dir.path(), fs::perms(0555));
    // As an ordinary user, for whom folder permissions count: a child that gives up root.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        int refused = 0;
        for (const char* leaf : {"writable.zel", "locked.zel", "new.zel"})
            if (auto error = ReplaceFileContents(dir.file(leaf), kNew).error;
                error && error->code == code::PathFileAccess)
                ++refused;
        ::_exit(refused);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    fs::permissions(dir.path(), fs::perms(0755));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(test::SnapshotOf(dir.path()), (test::Snapshot{{"locked.zel", kOld}, {"writable.zel", kOld}}));
}

// Ctrl-C, SIGTERM and SIGHUP while several writers replace and copy files of their own end the
// program by that signal; every file is old or complete, every copy complete or absent, and no
// temporary file is left, also where temporary files have names from their first moment (there in a
// folder whose name is so long that a temporary file's full name is past the system's limit).
TEST_F(Files, InterruptsDuringConcurrentWritesLeaveEveryFileWholeAndNothingElse) {
    constexpr int kWriters = 3;
    const Bytes complete(1 << 18, 'n');
    for (bool withoutLinks : {false, true}) {
        std::string folder = dir.path().string();
        while (withoutLinks && folder.size() < 4080)
            folder += "/" + std::string(std::clamp<std::size_t>(4079 - folder.size(), 1, 200), 'd');
        fs::create_directories(folder);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            for (int i = 0; i < kWriters; ++i)
                WriteBytes(folder + "/" + std::to_string(i) + ".zel", kOld);
            const pid_t child = ::fork();
            if (child == 0) {
                RemoveTemporaryFilesOnInterrupt();
                InjectFileSystemWithoutLinks(withoutLinks);
                std::atomic<int> started{0};
                for (int i = 0; i < kWriters; ++i)
                    std::thread([&, name = folder + "/" + std::to_string(i) + ".zel"] {
                        HoldInterruptsInThisThread();
                        for (std::error_code ignored;; fs::remove(name + ".bak", ignored), ++started) {
                            (void)ReplaceFileContents(name, complete);
                            (void)CopyFileNoReplace(name, name + ".bak");
                        }
                    }).detach();
                while (started < kWriters)
                    std::this_thread::yield();
                ::kill(::getpid(), signal);
                ::sleep(10);
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
            for (const std::string& leaf : test::ListFolder(folder)) {
                if (fs::is_directory(folder + "/" + leaf)) continue; // the long folder
                const Bytes now = ReadBytes(folder + "/" + leaf);
                EXPECT_TRUE((now == complete || now == kOld) &&
                            leaf.find(kTemporaryMark) == std::string::npos)
                    << leaf << withoutLinks;
                fs::remove(folder + "/" + leaf);
            }
        }
    }
}
#endif

TEST(Cp932, TextsConvertExactlyOrNotAtAll) {
    const std::pair<std::string, std::string> both[] = {
        {"", ""},
        {"Anchor-1 (A)", "Anchor-1 (A)"},
        {"\x91\xBD\x83\x54\x83\x43\x83\x4E\x83\x8B", "多サイクル"},
        {"\x81\x40\xB1\xDD\xB6\xB0", "　ｱﾝｶｰ"},
        {"kN\x81\x5E\x82\x8D\x82\x51", "kN／ｍ２"},
        {"\xFA\x5C", "纊"}, // of the two codes of this character, encoding picks the IBM one
    };
    for (const auto& [bytes, text] : both) {
        EXPECT_EQ(DecodeCp932(bytes), text);
        EXPECT_EQ(EncodeCp932(text), bytes);
    }
    EXPECT_EQ(DecodeCp932("\xED\x40"), "纊");
    // Invalid bytes and characters without a code give nothing, never a stand-in character.
    for (std::string bytes : {"\x81", "ab\x83", "\x81\x20", "\x83\x7F", "\xEF\x40x"})
        EXPECT_FALSE(DecodeCp932(bytes)) << bytes;
    for (std::string text : {"caf\xC3\xA9", "한", "\xF0\x9F\x98\x80", "\xFF\xFE"})
        EXPECT_FALSE(EncodeCp932(text)) << text;
}

TEST(ErrorText, EveryCodeHasItsOwnJapaneseText) {
    // The numbers of the application's file layer (75 and 61 among them), and this program's own.
    std::set<std::string> texts;
    for (int c : {6, 7, 9, 52, 53, 57, 58, 61, 67, 70, 75, 76, 1001}) {
        const std::string text = DescribeError(c);
        EXPECT_TRUE(EncodeCp932(text) && text.find("エラー番号") == std::string::npos &&
                    texts.insert(text).second)
            << c;
    }
    EXPECT_EQ(DescribeError(code::DiskFull), "ディスクの空き容量が不足しています。");
    EXPECT_EQ(DescribeError(12345), "エラーが発生しました (エラー番号 12345)。");
}

} // namespace
} // namespace zel::platform
