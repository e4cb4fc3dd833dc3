// Files: kinds of names, replacement, the no-replace copy, faults, reading back; code page 932; errors.
#include "platform/Platform.h"
#include "platform/Sha256.h"
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
#else
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
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

// What a name is. A listed entry is "d" (a folder), "f" (a file or a link to one) or "-", "h" when
// hidden. Failed replacements of such names leave the target and the folder as they were.
TEST_F(Files, NamesAreToldApartAndFailedReplacementsLeaveThemAsTheyWere) {
    const std::string name = dir.file("plain.zel"), locked = dir.file("locked.zel");
    WriteBytes(name, kOld);
    WriteBytes(locked, kOld);
    fs::permissions(test::PathFromUtf8(locked), fs::perms(0444));
    fs::create_directory(dir.path() / "folder.zel");
    // clang-format off
    // The leaf, how it is listed (empty: not in the folder), whether it exists, read-only, its kind.
    std::vector<std::tuple<std::string, std::string, bool, bool, NameKind>> names = {
        {"plain.zel", "f", true, false, NameKind::File}, {"locked.zel", "f", true, true, NameKind::File},
        {"folder.zel", "d", false, false, NameKind::Folder}, {"", "", false, false, NameKind::Missing},
        {"gone.zel", "", false, false, NameKind::Missing}};
#ifdef _WIN32
    for (auto [leaf, attributes] :
         {std::pair{"hidden.zel", FILE_ATTRIBUTE_HIDDEN}, {"system.zel", FILE_ATTRIBUTE_SYSTEM}}) {
        WriteBytes(dir.file(leaf), kOld);
        ASSERT_TRUE(SetFileAttributesW(test::PathFromUtf8(dir.file(leaf)).c_str(), attributes));
        names.push_back({leaf, "fh", false, false, NameKind::File});
    }
#else
    ASSERT_EQ(::mkfifo(dir.file("pipe.zel").c_str(), 0644), 0);
    WriteBytes(dir.file(".dot.zel"), kOld);
    fs::create_symlink(dir.file("plain.zel"), dir.file("link.zel"));
    fs::create_symlink(dir.file("folder.zel"), dir.file("link"));
    fs::create_symlink(dir.file("gone.zel"), dir.file("dangling.zel"));
    fs::create_symlink("loop.zel", dir.file("loop.zel"));
    names.insert(names.end(), {
        {"pipe.zel", "-", false, false, NameKind::Special}, {".dot.zel", "fh", true, false, NameKind::File},
        {"link.zel", "f", true, false, NameKind::File}, {"loop.zel", "-", false, false, NameKind::LinkLoop},
        {"dangling.zel", "-", false, false, NameKind::Missing}, {"link", "-", false, false, NameKind::Folder}});
#endif
    // clang-format on
    std::map<std::string, std::string> listed;
    for (const FolderEntry& e : platform::ListFolder(dir.file("")).value_or(std::vector<FolderEntry>{}))
        listed[e.name] += std::string(e.folder ? "d" : (e.file ? "f" : "-")) + (e.hidden ? "h" : "");
    EXPECT_EQ(listed.size(), names.size() - 2); // each once, nothing else
    for (const auto& [leaf, listedAs, exists, readOnly, kind] : names) {
        const std::string full = leaf.empty() ? "" : dir.file(leaf);
        EXPECT_EQ(FileExists(full), exists) << leaf;
        EXPECT_EQ(KindOfName(full), kind) << leaf;
        EXPECT_EQ(IsReadOnly(full), readOnly) << leaf;
        EXPECT_EQ(listed[leaf], listedAs) << leaf;
    }
    EXPECT_FALSE(platform::ListFolder(dir.file("gone.zel")));

    const test::Snapshot before = test::SnapshotOf(dir.path());
    // The target, the fault injected, the error. The last target names no file.
    // clang-format off
    const std::tuple<std::string, int, int> cases[] = {
        {name, code::DiskFull, code::DiskFull}, {name, code::DeviceIO, code::DeviceIO},
        {dir.file("nowhere") + kSeparator + "t.zel", 0, code::PathNotFound},
        {dir.file("folder.zel"), 0, code::PathFileAccess}, {locked, 0, code::PathFileAccess},
        {"", 0, code::BadFileName}, {dir.file("folder.zel") + kSeparator, 0, code::BadFileName}};
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
#ifndef _WIN32
    // Nothing is written where no new file may be made, not even into a file that may be written: as
    // an ordinary user, for whom folder permissions count (root reads and writes any folder).
    fs::permissions(name, fs::perms(0666));
    fs::permissions(dir.path(), fs::perms(0555));
    const int fsuid = ::setfsuid(65534);
    for (const std::string& target : {name, locked, dir.file("new.zel")}) {
        const auto error = ReplaceFileContents(target, kNew).error;
        EXPECT_EQ(error ? error->code : 0, code::PathFileAccess) << target;
    }
    ::setfsuid(fsuid);
    fs::permissions(dir.path(), fs::perms(0755));
#endif
    EXPECT_EQ(test::SnapshotOf(dir.path()), before);
}

// Leftovers of killed runs go where their name exists (else they are reported), not one a live writer
// holds; names of the longest length allowed still get temporary names that fit.
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

// Two writers and a clean-up of one name at once: the name always holds one complete content, nothing
// is left. Ctrl-C, SIGTERM and SIGHUP during writes and copies leave each file old or complete.
TEST_F(Files, ConcurrentWritesAndInterruptsLeaveEveryFileWholeAndNothingElse) {
    const std::string name = dir.file("t.zel");
    const Bytes first(40000, 'a'), second(30000, 'b'), complete(1 << 18, 'n');
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
        int bad = 0; // reads of a content of neither writer, or of no file
        for (int look = 0; look < 100; ++look) {
            try {
                const Bytes now = ReadBytes(name);
                bad += now != kOld && now != first && now != second;
            } catch (const std::runtime_error&) {
                // Windows: held unshared for a moment by the writer that just renamed it.
                bad += !FileExists(name);
            }
        }
        a.join();
        b.join();
        EXPECT_EQ(bad, 0) << withoutLinks;
        InjectFileSystemWithoutLinks(false);
        EXPECT_EQ(failed, 0) << withoutLinks;
        EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"t.zel"}) << withoutLinks;
#ifndef _WIN32
        fs::remove(name);
        constexpr int kWriters = 3;
        std::string folder = dir.path().string();
        while (withoutLinks && folder.size() < 4080) // temporary files' full names past the system's limit
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
#endif
    }
}

#ifdef _WIN32
// A file another program holds open: a target in use after a few tries (nothing left), replaced once
// free; a source held in use after two seconds of tries, opened when let go sooner.
TEST_F(Files, FilesHeldByAnotherProgramAreInUseUntilLetGo) {
    const std::string name = dir.file("t.zel");
    const std::wstring wide = test::PathFromUtf8(name).wstring();
    for (auto [byName, unmarked] : {std::pair{true, false}, {false, true}, {false, false}}) { // last: no seam
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
    const struct {
        DWORD access, share, letGoAfter; // letGoAfter: milliseconds; INFINITE: held throughout
        OpenFailure opened;
    } cases[] = {{GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, INFINITE, OpenFailure::InUse},
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

// What a rename would not carry over, the hidden and system attributes, is given to the new file first.
TEST_F(Files, ReplaceKeepsHiddenAndSystemAttributes) {
    const std::string name = dir.file("t.zel");
    const std::wstring wide = test::PathFromUtf8(name).wstring();
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    WriteBytes(name, kOld);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), hiddenSystem));
    ASSERT_TRUE(ReplaceFileContents(name, kNew).ok());
    EXPECT_EQ(ReadBytes(name), kNew);
    EXPECT_EQ(GetFileAttributesW(wide.c_str()) & hiddenSystem, hiddenSystem);
}
#else
// A replacement keeps owner and permissions and follows links. A file that cannot be flushed fails; a
// folder that cannot be flushed after the rename is only a warning.
TEST_F(Files, ReplaceKeepsOwnerAndPermissionsFollowsLinksAndFlushes) {
    const std::string name = dir.file("real.zel");
    WriteBytes(name, kOld);
    fs::permissions(name, fs::perms(0604));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(name.c_str(), 65534, 0) == 0) << "another user's file";
    fs::create_symlink("real.zel", dir.file("link.zel"));
    fs::create_symlink(dir.file("made.zel"), dir.file("dangling.zel")); // the replacement makes made.zel
    const mode_t umask = ::umask(027); // a file made has the permissions that the umask leaves
    // The link written through, the file it names, that file's permissions and (as root) owner after.
    for (auto [link, file, mode, owner] :
         {std::tuple{"link.zel", "real.zel", 0604u, 65534u}, {"dangling.zel", "made.zel", 0640u, 0u}}) {
        EXPECT_TRUE(ReplaceFileContents(dir.file(link), kNew).ok()) << link;
        struct stat st {};
        ASSERT_EQ(::lstat(dir.file(file).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << link;
        EXPECT_TRUE(!root || (st.st_uid == owner && st.st_gid == 0)) << link;
        EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
        EXPECT_EQ(ReadBytes(dir.file(file)), kNew) << link;
    }
    ::umask(umask);
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

#endif

TEST(JapaneseText, Cp932ConvertsExactlyOrNotAtAllAndEveryErrorCodeHasItsOwnText) {
    // clang-format off
    const std::pair<std::string, std::string> both[] = { // of the two codes of 纊, encoding picks the IBM one
        {"", ""}, {"Anchor-1 (A)", "Anchor-1 (A)"}, {"\x91\xBD\x83\x54\x83\x43\x83\x4E\x83\x8B", "多サイクル"},
        {"\x81\x40\xB1\xDD\xB6\xB0", "　ｱﾝｶｰ"}, {"kN\x81\x5E\x82\x8D\x82\x51", "kN／ｍ２"}, {"\xFA\x5C", "纊"}};
    // clang-format on
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
    // The numbers of the application's file layer (75 and 61 among them), and this program's own.
    std::set<std::string> texts;
    for (int c : {6, 7, 9, 52, 53, 57, 58, 61, 67, 70, 75, 76, 1001, 1002}) {
        const std::string text = DescribeError(c);
        EXPECT_TRUE(EncodeCp932(text) && text.find("エラー番号") == std::string::npos &&
                    texts.insert(text).second)
            << c;
    }
    EXPECT_EQ(DescribeError(code::DiskFull), "ディスクの空き容量が不足しています。");
    EXPECT_EQ(DescribeError(code::Unverified), "書き込んだ内容を確認できませんでした。");
    EXPECT_EQ(DescribeError(12345), "エラーが発生しました (エラー番号 12345)。");
}

// The digests of the examples of FIPS 180-4, whether the bytes come at once or a few at a time.
TEST(Sha256, GivesTheDigestsOfTheStandardsExamples) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    for (const auto& [text, digest] : cases)
        for (std::size_t piece : {std::size_t{1} << 20, std::size_t{63}, std::size_t{1}}) {
            Sha256 hash;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
            for (std::size_t at = 0; at < text.size(); at += piece)
                hash.Add(bytes + at, std::min(piece, text.size() - at));
            std::string hex;
            for (std::uint8_t b : hash.Finish())
                hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
            EXPECT_EQ(hex, digest) << text.size() << " bytes in pieces of " << piece;
        }
}

// A write or a copy whose file holds a changed or missing byte, reads back another byte, or whose
// content check refuses or stops early, takes no name: the target stays and nothing else is left.
TEST(ReadBack, AFileThatDoesNotReadBackAsWrittenTakesNoName) {
    enum Fault { None, Changed, Dropped, ReadBack, Refused, Partial };
    Bytes content(200000); // beyond one piece of the reading back
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const Bytes old(100, 'o');
    for (Fault fault : {None, Changed, Dropped, ReadBack, Refused, Partial})
        for (auto [copy, checked] : {std::pair{false, false}, {false, true}, {true, false}}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(fault) << (copy ? " copy" : " write")
                                            << (checked ? " checked" : ""));
            test::TempDir dir;
            test::WriteBytes(dir.file("s.zel"), content);
            test::WriteBytes(dir.file("t.zel"), old);
            if (fault == Changed || fault == Dropped) InjectWrittenByteFault(150001, fault == Dropped);
            if (fault == ReadBack) InjectReadBackFault(150001);
            // As a conversion checks: every byte read back against what was meant.
            const ContentCheck check = [&](const ContentReader& read) {
                Bytes back(fault == Partial ? 1000 : content.size() + 1);
                std::size_t got = 0;
                while (const std::size_t n = read(back.data() + got, back.size() - got))
                    got += n;
                return fault != Refused && std::equal(back.begin(), back.begin() + got, content.begin());
            };
            const FileResult result =
                copy ? CopyFileNoReplace(dir.file("s.zel"), dir.file("b.zel"))
                     : ReplaceFileContents(
                           dir.file("t.zel"),
                           [&](const ContentWriter& write) { write(content.data(), content.size()); }, {},
                           checked ? check : ContentCheck{});
            InjectWrittenByteFault(UINT64_MAX, false);
            InjectReadBackFault(UINT64_MAX);
            const bool written = fault == None || (!checked && (fault == Refused || fault == Partial));
            EXPECT_EQ(result.error ? result.error->code : 0, written ? 0 : code::Unverified);
            test::Snapshot expected{{"s.zel", content}, {"t.zel", written && !copy ? content : old}};
            if (written && copy) expected["b.zel"] = content;
            EXPECT_EQ(test::SnapshotOf(dir.path()), expected);
        }
}

} // namespace
} // namespace zel::platform
