// The batch over real files: listing, each kind of file converted, stopping, the report, 元に戻す.
#include "workflow/Batch.h"
#include "platform/Platform.h"
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/BatchRun.h"
#include "workflow/Undo.h"
#include "workflow/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <utility>

#ifdef _WIN32
#include "platform/Utf16.h"

#include <windows.h>
#else
#include <climits>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::Shown;
using Bytes = std::vector<std::uint8_t>;

// Explorer's order, a folder's own files before its subfolders; ".zel" in any case, hidden files and
// links to folders left out. What cannot be listed or read is a row that says why.
TEST(Batch, AFolderStandsForItsZelFilesInExplorersOrderEachOnce) {
    test::TempDir dir;
    for (const char* folder : {"b", "x.zel", "B2", "B10", ".hid"})
        fs::create_directories(dir.path() / folder);
    for (const char* leaf : {"site10.zel", "site2.zel", "Site1.ZEL", "a.txt", "b/c.zel", "x.zel/y.zel",
                             "B10/z.zel", "B2/z.zel", ".h.zel", ".hid/in.zel", "zel", "site2.zel.bak"})
        test::WriteBytes(dir.file(leaf), Bytes(10, 'x'));
#ifdef _WIN32 // elsewhere a name beginning with "." is hidden
    for (const char* leaf : {".h.zel", ".hid"})
        SetFileAttributesW(platform::Widen(dir.file(leaf)).c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
    std::vector<std::string> expected{"Site1.ZEL", "site2.zel", "site10.zel", "b/c.zel",
                                      "B2/z.zel",  "B10/z.zel", "x.zel/y.zel"};
#ifndef _WIN32
    fs::create_directory_symlink(dir.path() / "b", dir.path() / "a-link.zel");
    fs::create_symlink("gone", dir.path() / "broken.zel");
    fs::create_symlink("loop.zel", dir.path() / "loop.zel");
    ASSERT_EQ(::mkfifo(dir.file("p.zel").c_str(), 0644), 0);
    fs::create_directory(dir.path() / "locked");
    test::WriteBytes(dir.file("locked/in.zel"), Bytes(10, 'x'));
    fs::permissions(dir.path() / "locked", fs::perms::none);
    // A chain of folders, built a step at a time, whose last full name is past PATH_MAX; cut in two at
    // the end so that its halves can be removed by name.
    std::string chain = "long";
    std::vector<int> steps{::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY)};
    for (std::string leaf = chain;; chain += '/' + (leaf = std::string(250, 'd'))) {
        ASSERT_EQ(::mkdirat(steps.back(), leaf.c_str(), 0755), 0);
        steps.push_back(::openat(steps.back(), leaf.c_str(), O_RDONLY | O_DIRECTORY));
        if (dir.file(chain).size() >= PATH_MAX) break;
    }
    ::close(::openat(steps.back(), "f.zel", O_CREAT | O_WRONLY, 0644));
    expected.insert(expected.begin(),
                    {"broken.zel：通常のファイルではありません", "loop.zel：通常のファイルではありません",
                     "p.zel：通常のファイルではありません"});
    expected.insert(expected.end() - 1, {"locked：権限がありません", chain + "：パスが長すぎます"});
    const int fsuid = ::setfsuid(65534); // as an ordinary user: root reads a folder of mode 000
#endif
    const std::vector<BatchFile> files = ListBatch({dir.file("")});
#ifndef _WIN32
    ::setfsuid(fsuid);
    ASSERT_EQ(::renameat(steps[steps.size() / 2], std::string(250, 'd').c_str(), steps[0], "cut"), 0);
    for (int step : steps)
        ::close(step);
#endif
    std::vector<BatchOutcome> outcomes;
    (void)RunBatch(files, outcomes, {});
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < files.size(); ++i)
        shown.push_back(files[i].shownName +
                        (outcomes[i].reason == "データではありません" ? "" : "：" + outcomes[i].reason));
    for (std::string& name : expected)
        std::ranges::replace(name, '/', platform::kSeparator);
    EXPECT_EQ(shown, expected);
    // The report is saved by default in the one folder named, else in the first file's folder.
    const std::string b = dir.file("b"), c = b + platform::kSeparator + "c.zel";
    EXPECT_EQ(ReportFolder({dir.file("")}, files) + "|" + ReportFolder({c}, {}), dir.file("") + "|" + b);
}

// Names in a strict order, numbers by value. Elsewhere than on Windows a run of ASCII and full-width
// digits is one number, letters go without regard to case or width, others by code point.
TEST(Batch, NamesAreShownInAStrictOrderWithNumbersByValue) {
    using platform::ShownBefore;
#ifdef _WIN32
    const std::vector<std::string> shown{"a9", "a10", "a12", "site2", "site10", "x2", "x03"};
#else
    const std::vector<std::string> shown{"_",   "A",      "Ａ",       "a.zel",     "a1",   "a01",
                                         "a９", "a1０",   "a12",      "a1３",      "Ｂ２", "ｂ１０",
                                         "C",   "site9",  "site１０", "site11",    "x２",  "x０３",
                                         "Z",   "現場２", "現場１０", "現場（仮）"};
#endif
    for (std::size_t i = 1; i < shown.size(); ++i)
        EXPECT_TRUE(ShownBefore(shown[i - 1], shown[i])) << shown[i - 1] << " " << shown[i];
    std::vector<std::string> names = shown;
    names.insert(names.end(), {"a", "A", "ａ", "Ａ", "a1", "a01", "a１", "a０１", "a1０", "a10", "site10",
                               "site１０", "現場２", "現場１０", "B", "-"});
    for (const std::string& a : names)
        for (const std::string& b : names) {
            EXPECT_EQ(ShownBefore(a, b), a != b && !ShownBefore(b, a)) << a << " " << b;
            for (const std::string& c : names)
                EXPECT_TRUE(!ShownBefore(a, b) || !ShownBefore(b, c) || ShownBefore(a, c)) << a << b << c;
        }
}

struct BatchFolder : ::testing::Test {
    test::TempDir dir;
    const Bytes v101 = test::SampleFile(FileVersion::V101);
    const Bytes v102 = test::FileBytes(FileVersion::V102, *test::SampleProject()); // what v101 becomes
};

// Every kind of file converted in place on two workers: each row's text and the files byte for byte.
TEST_F(BatchFolder, EachFileBecomesWhatItsKindCallsFor) {
    constexpr bool kFoldsCase = platform::kSeparator == '\\'; // Windows: names equal without regard to case
    const Bytes current = test::SampleFile(FileVersion::V102),
                failing = test::SampleFile(FileVersion::V100, {.failingAnchor = 1}), foreign(100, 'x');
    auto failingProject = test::SampleProject({.failingAnchor = 1});
    failingProject->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // 1.1 and 0.9
    const Bytes failingAfter = test::FileBytes(FileVersion::V101, *failingProject);
    const Bytes cut(v101.begin(), v101.end() - 1);
    auto clash = [](std::string name) {
        return "変換しません：バックアップ名「" + name + ".bak」がほかのファイルと重なります";
    };
    using enum ListedFormat;
    const struct {
        const char* leaf;
        Bytes before;
        ListedFormat format;
        std::string text; // the row's result
        Bytes after;
        const char* backup; // made by the run, holding `before` (the report's backup column)
    } cases[] = {
        {"c102.zel", current, Current, "変換不要", current, nullptr},
        {"Case.ZEL", v101, V101, "変換しました", v102, "Case.ZEL.bak"},
        // Its backup name is that of Case.ZEL where names are equal without regard to case.
        {"case.zel.zel", v101, V101, kFoldsCase ? clash("case.zel") : "変換しました",
         kFoldsCase ? v101 : v102, kFoldsCase ? nullptr : "case.zel.bak"},
        {"d.zel", foreign, NotData, "変換しません：データではありません", foreign, nullptr},
        {"e.zel", cut, V101, "失敗：ファイルが壊れているため変換できません。", cut, nullptr},
        {"f.zel", failing, V100, "1.01 まで変換しました：インデックスが有効範囲にありません。", failingAfter,
         "f.bak"},
        {"g.zel", v101, ReadOnly, "変換しません：読み取り専用", v101, nullptr},
        {"h.zel", v101, V101, "変換しました（バックアップは既存）", v102, nullptr},
        {"n1.zel", v101, V101, "失敗：予期しないエラーが発生しました。", v101, nullptr}, // the answer throws
        {"n2.zel", v101, V101, "失敗：メモリが不足しています。", v101, nullptr},         // std::bad_alloc
        {"n3.zel", v101, V101, "変換しません：上書きしないと答えました", v101, nullptr},
        {"SITE.ZEL", v101, V101, "変換しました", v102, "SITE.ZEL.bak"},
        {"SITE.ZEL.zel", v101, V101, clash("SITE.ZEL"), v101, nullptr},
    };
    test::Snapshot expected;
    for (const auto& c : cases) {
        test::WriteBytes(dir.file(c.leaf), c.before);
        expected[c.leaf] = c.after;
        if (c.backup) expected[c.backup] = c.before;
    }
    fs::permissions(test::PathFromUtf8(dir.file("g.zel")), fs::perms::owner_read);
    test::WriteBytes(dir.file("h.bak"), expected["h.bak"] = foreign);
    const std::vector<BatchFile> files = ListBatch({dir.file("")});
    ASSERT_EQ(files.size(), std::size(cases));
    std::vector<BatchOutcome> outcomes;
    BatchOptions options;
    options.workers = 2;
    options.answer = [&files](std::size_t index, const std::string&) -> bool {
        const std::string& leaf = files[index].shownName;
        if (leaf == "n1.zel") throw std::runtime_error("any");
        if (leaf == "n2.zel") throw std::bad_alloc();
        return leaf != "n3.zel";
    };
    EXPECT_EQ(RunBatch(files, outcomes, options), BatchEnd::Finished);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(std::pair(files[i].shownName, files[i].format), std::pair(std::string(c.leaf), c.format));
        EXPECT_EQ(BatchResultText(outcomes[i]), c.text) << c.leaf;
        EXPECT_EQ(outcomes[i].backupName.empty(), c.backup == nullptr) << c.leaf; // only one made now
    }
    EXPECT_EQ(test::SnapshotOf(dir.path()), expected);
    // An opened row shows the file's full name, then what was shown, as a warning.
    test::RecordingMessages opened;
    ShowBatchRow(files[8], outcomes[8], opened); // n1.zel
    const Shown warning{Shown::Warning, files[8].fullName + "\r\r予期しないエラーが発生しました。"};
    EXPECT_EQ(opened.shown, std::vector{warning});
}

// The owner of a run, as a window: news taken on its own thread when told, also while a question shows.
struct RunOwner : test::RecordingMessages {
    explicit RunOwner(const std::string& folder, unsigned workers = 1)
        : run(std::make_unique<BatchRun>(
              std::vector{folder}, *this, [this] { Tell(); }, workers)) {}
    void Tell() {
        const std::lock_guard lock(mutex);
        ++notices;
        told.notify_one();
    }
    bool AskYesNo(const std::string& text) override {
        if (whileAsked) std::exchange(whileAsked, nullptr)();
        return RecordingMessages::AskYesNo(text);
    }
    // Takes news until `done` holds (by default: until the run is idle); whether it asked to be closed.
    bool Settle(const std::function<bool()>& done = nullptr) {
        bool close = false;
        for (std::size_t seen = 0;;) {
            {
                std::unique_lock lock(mutex);
                if (!told.wait_for(lock, std::chrono::seconds(60), [&] { return notices > seen; }))
                    return false;
                seen = notices;
            }
            close |= run->TakeNews().close;
            if (done ? done() : !run->listing() && !run->running() && !run->checking()) return close;
        }
    }
    std::vector<BatchResult> Results() const {
        std::vector<BatchResult> results;
        for (std::size_t i = 0; i < run->files().size(); ++i)
            results.push_back(run->outcome(i).result);
        return results;
    }
    std::mutex mutex;
    std::condition_variable told;
    std::size_t notices = 0;
    std::function<void()> whileAsked;
    std::unique_ptr<BatchRun> run;
};

// Starts the run again and holds its converting thread before its next replacing write until released.
struct Hold {
    explicit Hold(RunOwner& owner) {
        platform::InjectAt(platform::Moment::BeforeReplace, [this] {
            reached.set_value();
            release.get_future().wait();
        });
        owner.run->Start();
        (void)owner.Settle([&] { return !owner.run->listing(); });
        reached.get_future().wait();
    }
    std::promise<void> reached, release;
};

// 変換開始 asks once; 中止, closing and destroying stop between files; いいえ keeps what was shown; a
// full disk stops two workers after their current files and is told once.
TEST_F(BatchFolder, TheWindowsRunAsksOnceAndStopsOrClosesBetweenFiles) {
    using enum BatchResult;
    for (const char* leaf : {"f1.zel", "f2.zel", "f3.zel", "f4.zel"})
        test::WriteBytes(dir.file(leaf), v101);
    auto owner = std::make_unique<RunOwner>(dir.file(""));
    EXPECT_EQ(owner->run->CountsText(), kBatchListingText);
    EXPECT_FALSE(owner->Settle());
    EXPECT_EQ(owner->run->CountsText(), "変換 0 件　変換不要 0 件　変換しない 0 件　失敗 0 件");
    auto asked = [](std::size_t count) { return Shown{Shown::Question, BatchConfirmText(count)}; };
    // 中止 while the first file is written.
    {
        Hold hold(*owner);
        EXPECT_EQ(owner->shown, std::vector{asked(4)});
        EXPECT_TRUE(owner->run->canStop());
        owner->run->Stop();
        hold.release.set_value();
        EXPECT_FALSE(owner->Settle());
    }
    EXPECT_EQ(owner->Results(), (std::vector{Converted, Pending, Pending, Pending}));
    EXPECT_EQ(test::ReadBytes(dir.file("f2.zel")), v101);
    // Again, then いいえ: the list, its results and the counts stay.
    const std::string counts = owner->run->CountsText();
    owner->answers = {false};
    owner->run->Start();
    EXPECT_EQ(owner->run->CountsText(), kBatchListingText);
    EXPECT_FALSE(owner->Settle());
    EXPECT_EQ(owner->shown, (std::vector{asked(4), asked(3)}));
    EXPECT_EQ(std::pair(owner->Results()[0], owner->run->CountsText()), std::pair(Converted, counts));
    // Again with はい; closing while the second file is written: いいえ goes on, はい stops and closes.
    {
        Hold hold(*owner);
        owner->answers = {false, true};
        EXPECT_FALSE(owner->run->MayClose());
        EXPECT_TRUE(owner->run->running());
        EXPECT_FALSE(owner->run->MayClose());
        EXPECT_FALSE(owner->run->canStop());
        hold.release.set_value();
        EXPECT_TRUE(owner->Settle());
    }
    EXPECT_EQ(owner->Results(), (std::vector{NotNeeded, Converted, Pending, Pending}));
    EXPECT_TRUE(owner->run->MayClose());
    // Closing while the third file is written; the run ends while the question is shown.
    {
        Hold hold(*owner);
        owner->whileAsked = [&] {
            hold.release.set_value();
            (void)owner->Settle();
        };
        EXPECT_TRUE(owner->run->MayClose());
    }
    EXPECT_EQ(owner->Results(), (std::vector{NotNeeded, NotNeeded, Converted, Converted}));
    // Destroyed while the first file is written: that file is finished, no other is begun.
    for (const char* leaf : {"f1.zel", "f2.zel", "f3.zel", "f4.zel"})
        test::WriteBytes(dir.file(leaf), v101);
    {
        Hold hold(*owner);
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            hold.release.set_value();
        });
        const std::size_t notices = owner->notices;
        owner->run.reset();
        releaser.join();
        EXPECT_EQ(owner->notices, notices) << "no notice after the run is gone";
    }
    EXPECT_EQ(test::ReadBytes(dir.file("f1.zel")), v102);
    EXPECT_EQ(test::ReadBytes(dir.file("f2.zel")), v101);
    // A full disk with two workers: each fails its current file at most, the third file is not begun.
    owner = std::make_unique<RunOwner>(dir.file(""), 2);
    (void)owner->Settle();
    platform::InjectWriteFault(platform::code::DiskFull, 1000);
    owner->run->Start();
    (void)owner->Settle();
    platform::InjectWriteFault(0, 0);
    const auto failed = std::ranges::count(owner->Results(), Failed);
    EXPECT_TRUE(failed >= 1 && failed <= 2 && std::ranges::count(owner->Results(), Pending) == 3 - failed);
    EXPECT_EQ(BatchResultText(owner->run->outcome(1)),
              "失敗：" + platform::DescribeError(platform::code::DiskFull));
    EXPECT_EQ(std::ranges::count(owner->shown, Shown{Shown::Warning, kBatchDiskFullText}), 1);
    // 中止 during the last file: that file is finished, and so is the run.
    std::atomic<bool> stop{false};
    test::WriteBytes(dir.file("last.zel"), v101);
    platform::InjectAt(platform::Moment::BeforeReplace, [&] { stop = true; });
    BatchOptions options;
    options.stop = &stop;
    std::vector<BatchOutcome> outcomes;
    EXPECT_EQ(RunBatch(ListBatch({dir.file("last.zel")}), outcomes, options), BatchEnd::Finished);
    platform::InjectAt(platform::Moment::BeforeReplace, {});
}

// 元に戻す asks once; いいえ keeps what is shown; はい puts the files back, and the rows say so.
TEST_F(BatchFolder, UndoAsksOnceAndPutsBackWhatItMay) {
    for (const char* leaf : {"a.zel", "b.zel"})
        test::WriteBytes(dir.file(leaf), v101);
    RunOwner owner(dir.file(""));
    (void)owner.Settle();
    EXPECT_FALSE(owner.run->canUndo());
    owner.run->StartUndo(); // nothing to put back: no question, the rows and counts say why
    (void)owner.Settle();
    EXPECT_EQ(
        std::pair(owner.shown.size(), owner.run->CountsText()),
        std::pair(std::size_t{0}, std::string("戻した 0 件　戻す必要なし 0 件　戻さない 2 件　失敗 0 件")));
    owner.run->Start();
    (void)owner.Settle();
    EXPECT_TRUE(owner.run->canUndo());
    test::WriteBytes(dir.file("b.zel"), Bytes(10, 'e')); // changed since
    const std::string counts = owner.run->CountsText();
    owner.answers = {false, true};
    for (bool yes : {false, true}) {
        owner.run->StartUndo();
        (void)owner.Settle();
        EXPECT_EQ(owner.shown.back(), (Shown{Shown::Question, UndoConfirmText(1)}));
        EXPECT_EQ(owner.run->CountsText(),
                  yes ? "戻した 1 件　戻す必要なし 0 件　戻さない 1 件　失敗 0 件" : counts);
    }
    EXPECT_TRUE(BatchResultText(owner.run->outcome(0)).starts_with("戻しました：a.bak（"));
    EXPECT_NE(owner.run->outcome(0).finishedAt, 0); // the report's time
    EXPECT_TRUE(BatchResultText(owner.run->outcome(1)).starts_with("戻しません：変換後に変更されたか"));
    owner.run->OpenRow(0); // a row put back informs, one refused warns
    owner.run->OpenRow(1);
    EXPECT_EQ(std::pair(owner.shown.end()[-2].kind, owner.shown.back().kind),
              std::pair(Shown::Info, Shown::Warning));
    EXPECT_EQ(test::SnapshotOf(dir.path()),
              (test::Snapshot{{"a.zel", v101}, {"b.zel", Bytes(10, 'e')}, {"b.bak", v101}}));
    RunOwner listed(dir.file("")); // a backup made before the list may be put back
    EXPECT_TRUE(!listed.Settle() && listed.run->canUndo());
}

// UTF-8 sequence lengths at the limits: each lead byte, overlong forms, surrogates, past U+10FFFF, cut.
TEST(Batch, Utf8SequencesAreReadToTheirLimits) {
    // clang-format off
    const std::pair<const char*, std::size_t> cases[] = {
        {"\x7F", 1}, {"\x80", 0}, {"\xC1\xBF", 0}, {"\xC2\x80", 2}, {"\xDF\xBF", 2}, {"\xE0\x9F\xBF", 0},
        {"\xE0\xA0\x80", 3}, {"\xED\x9F\xBF", 3}, {"\xED\xA0\x80", 0}, {"\xEF\xBF\xBF", 3},
        {"\xF0\x8F\xBF\xBF", 0}, {"\xF0\x90\x80\x80", 4}, {"\xF4\x8F\xBF\xBF", 4}, {"\xF4\x90\x80\x80", 0},
        {"\xF5\x80\x80\x80", 0}, {"\xE3\x81", 0}, {"\xC2\x41", 0}, {"\xE3\x81\xC2", 0}};
    // clang-format on
    for (const auto& [bytes, length] : cases)
        EXPECT_EQ(Utf8SequenceAt(bytes, 0), length) << ::testing::PrintToString(std::string(bytes));
}

// The report: a byte-order mark, CRLF, every field quoted with its quotes doubled, a leading = + - @,
// tab or carriage return behind a ', bytes that are no UTF-8 (a surrogate's among them) as \xHH, local times.
TEST(Batch, TheReportIsQuotedCsvThatExcelReadsAsText) {
    std::tm when{};
    when.tm_year = 2026 - 1900, when.tm_mon = 11, when.tm_mday = 7, when.tm_hour = 9, when.tm_min = 15,
    when.tm_sec = 3, when.tm_isdst = -1;
    const std::time_t at = std::mktime(&when);
    EXPECT_EQ(DefaultReportName(at), "変換結果_20261207_091503.csv");
    using enum ListedFormat;
    // clang-format off
    const std::vector<BatchFile> files{{"", "=1+2.zel", V100}, {"", "a\"b\x83\xED\xBF\xBF\xED\x9F\xBF.zel", Current},
                                       {"", "-x.zel", V101}, {"", "\t=x.zel", V101}, {"", "\r@x.zel", V101}};
    std::vector<BatchOutcome> outcomes(3);
    outcomes[0] = {BatchResult::Converted, "", "", "@x.bak", {}, at, {}};
    outcomes[1] = {BatchResult::NotNeeded, "", "", "", {}, at, {}};
    EXPECT_EQ(BatchReportCsv(files, outcomes),
              "\xEF\xBB\xBF\"ファイル\",\"変換前の形式\",\"結果\",\"バックアップ\",\"日時\"\r\n"
              "\"'=1+2.zel\",\"1.00\",\"変換しました\",\"'@x.bak\",\"2026-12-07 09:15:03\"\r\n"
              "\"a\"\"b\\x83\\xED\\xBF\\xBF\xED\x9F\xBF.zel\",\"最新\",\"変換不要\",\"\",\"2026-12-07 09:15:03\"\r\n"
              "\"'-x.zel\",\"1.01\",\"\",\"\",\"\"\r\n"
              "\"'\t=x.zel\",\"1.01\",\"\",\"\",\"\"\r\n"
              "\"'\r@x.zel\",\"1.01\",\"\",\"\",\"\"\r\n");
    // clang-format on
}

// Converted as a folder, then changed as each row says; a dry run tells, the run puts the old files back
// byte for byte without their backups. Another program's save before the rename is kept, and the backup.
TEST(Undo, AConvertedFolderComesBackByteForByteAndOnlyWhereNothingIsLost) {
    using enum UndoResult;
    const Bytes v100 = test::SampleFile(FileVersion::V100), v101 = test::SampleFile(FileVersion::V101),
                stops101 = test::SampleFile(FileVersion::V100, {.failingAnchor = 1}),
                current = test::SampleFile(FileVersion::V102), saved(700, 's');
    // As long as b.zel converted: a change that keeps the size.
    const Bytes edited(test::FileBytes(FileVersion::V102, *test::SampleProject()).size(), 'e');
    const char* changed = "戻しません：変換後に変更されたか、別の版で変換されています";
    const struct {
        const char* leaf;
        Bytes before, file, backup; // file, backup: written after the conversion (none: empty)
        UndoResult result;          // of the run (the dry run: WouldPutBack where this is PutBack)
        const char* text;           // the row, without the backup's name and date
    } rows[] = {
        // clang-format off
        {"a.zel", v100, {}, {}, PutBack, "戻しました："}, {"b.zel", v101, {}, {}, PutBack, "戻しました："},
        {"c.zel", stops101, {}, {}, PutBack, "戻しました："}, // its conversion stopped at 1.01
        {"d.zel", current, {}, {}, NoBackup, "戻しません：バックアップがありません"},
        {"e.zel", v101, edited, {}, Changed, changed}, {"h.zel", v100, {}, stops101, Changed, changed}, // h: an older backup, of another project
        {"f.zel", v101, {}, current, BackupNotOld, "戻しません：バックアップは古い形式のファイルではありません"},
        {"g.zel", v101, v101, {}, NotNeeded, "戻す必要はありません"}, // put back by hand
        // clang-format on
    };
    test::TempDir dir;
    for (const auto& row : rows)
        test::WriteBytes(dir.file(row.leaf), row.before);
    std::vector<BatchOutcome> converted;
    (void)RunBatch(ListBatch({dir.file("")}), converted, {});
    std::vector<std::string> names;
    test::Snapshot expected;
    for (const auto& row : rows) {
        const std::string name = dir.file(row.leaf), backup = name.substr(0, name.size() - 3) + "bak";
        if (!row.file.empty()) test::WriteBytes(name, row.file);
        if (!row.backup.empty()) test::WriteBytes(backup, row.backup);
        names.push_back(name);
        expected[row.leaf] = row.result == PutBack ? row.before : test::ReadBytes(name);
        if (row.result != PutBack && row.result != NoBackup)
            expected[std::string(row.leaf).substr(0, 2) + "bak"] = test::ReadBytes(backup);
    }
    const test::Snapshot converted102 = test::SnapshotOf(dir.path());
    for (bool dryRun : {true, false}) {
        const std::vector<UndoOutcome> outcomes = PutBackAll(names, dryRun, 2);
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            const UndoResult result = rows[i].result == PutBack && dryRun ? WouldPutBack : rows[i].result;
            const std::string text = UndoResultText(outcomes[i]);
            EXPECT_EQ(outcomes[i].result, result) << rows[i].leaf;
            EXPECT_TRUE(text.starts_with(result == WouldPutBack ? "戻します：" : rows[i].text)) << text;
            if (rows[i].result == PutBack) { // the backup's name and its date
                EXPECT_NE(text.find(std::string(rows[i].leaf).substr(0, 2) + "bak（20"), std::string::npos)
                    << text;
            }
        }
        EXPECT_EQ(test::SnapshotOf(dir.path()), dryRun ? converted102 : expected);
    }
    EXPECT_EQ(UndoConfirmText(3), "3 個のファイルを変換前に戻します。よろしいですか？");

    const std::string name = dir.file("b.zel");
    (void)RunBatch(ListBatch({name}), converted, {});
    platform::InjectReadFault(); // its backup cannot be read: nothing is done
    EXPECT_EQ(UndoResultText(zel::PutBack(name, false)), "失敗：読み込みできません");
    bool saveFailed = false;
    platform::InjectAt(platform::Moment::BeforeReplace, [&] {
        test::WriteBytes(name + ".new", saved);
        std::error_code error;
        std::filesystem::rename(test::PathFromUtf8(name + ".new"), test::PathFromUtf8(name), error);
        if ((saveFailed = static_cast<bool>(error)))
            std::filesystem::remove(test::PathFromUtf8(name + ".new"));
    });
    const UndoOutcome outcome = zel::PutBack(name, false);
#ifdef _WIN32
    // The file is held with read sharing only until the rename: the save fails, the put-back goes on.
    EXPECT_TRUE(saveFailed);
    EXPECT_EQ(outcome.result, UndoResult::PutBack);
#else
    EXPECT_FALSE(saveFailed);
    EXPECT_EQ(UndoResultText(outcome),
              "失敗：変換中にほかのプログラムがファイルを変更しました。変換しませんでした。");
    expected["b.zel"] = saved;
    expected["b.bak"] = v101;
#endif
    EXPECT_EQ(test::SnapshotOf(dir.path()), expected);
}

} // namespace
} // namespace zel
