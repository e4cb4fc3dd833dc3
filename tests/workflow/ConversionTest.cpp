// One press of Convert over real files: the messages in order and what becomes of the source, target
// and backup; the reading and writing beneath it; the name rule; kills at any step of a conversion.
#include "fileops/LoadReadModule.h"
#include "platform/Platform.h"
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include "platform/Utf16.h"

#include <sstream>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::Shown;
using Bytes = std::vector<std::uint8_t>;
using Files = test::Snapshot;

const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kCurrent = "最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。";
const std::string kReadOnly =
    "指定したファイル(またはフォルダ)は読み取り専用です\r別のファイル(またはフォルダ)名を指定してください";
const Shown kQuestion{Shown::Question, "データが存在します。上書きしてもよろしいですか？"};
const Bytes kFolder = {'<', 'f', 'o', 'l', 'd', 'e', 'r', '>'};

// Every outcome of one press: the messages in order, the files, the names the fields keep. The
// target field is told its settled name before any message; the backup is named after the target.
TEST(Conversion, OnePressShowsItsMessagesAndLeavesTheFilesAsPromised) {
    using enum FileVersion;
    const auto project = test::SampleProject({.anchorCount = 3});
    const Bytes old100 = test::FileBytes(V100, *project), old101 = test::SampleFile(V101);
    project->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // 1.1 and 0.9, what a 1.00 file gets
    const Bytes new100 = test::FileBytes(V102, *project),
                new101 = test::FileBytes(V102, *test::SampleProject());
    Bytes current(kSignature102.begin(), kSignature102.end());
    current.resize(300, 0x5A);
    const std::string missing = "フォルダが見つかりませんでした\rファイル名：@"; // @: the source's name
    const std::string notAFile = "\r別のファイル名を指定して下さい。\r\r     #"; // #: the target's name
    const Shown noName{Shown::Info, "ファイル名が指定されていません。ファイル名を指定して下さい。"};
    const Shown backedUp{Shown::Info, kConverted + "\r\r念のため元のファイルをバックアップしました。"
                                                   "必要がなければ消して下さい。\r%"}; // %: the backup
    struct Case {
        const char* what{};
        std::string source = "site.zel", target = "site", targetAfter = "site.zel";
        Files files{}, written{};       // before; what a conversion adds or replaces
        std::string folder{}, backup{}; // made besides the files; the backup made
        bool answer = true;
        int fault = 0;
        Outcome outcome = Outcome::Converted;
        std::vector<Shown> shown{};
    };
    // clang-format off
    const Case cases[] = {
        {.what = "empty source", .source = "", .target = "x", .targetAfter = "x",
         .outcome = Outcome::EmptyFields, .shown = {noName}},
        {.what = "empty target", .target = "", .targetAfter = "", .files = {{"site.zel", old100}},
         .outcome = Outcome::EmptyFields, .shown = {noName}},
        {.what = "blanks are names", .source = " ", .target = "  ", .targetAfter = "  .zel",
         .outcome = Outcome::Refused, .shown = {{Shown::Warning, missing}}},
        {.what = "current source", .target = "other", .targetAfter = "other.zel",
         .files = {{"site.zel", current}, {"other.zel", old100}}, .outcome = Outcome::AlreadyCurrent,
         .shown = {{Shown::Info, kCurrent}}},
        {.what = "answer No", .files = {{"site.zel", old100}}, .answer = false, .outcome = Outcome::Declined,
         .shown = {kQuestion}},
        {.what = "target is a folder", .target = "out", .targetAfter = "out.zel",
         .files = {{"site.zel", old100}, {"out.zel", kFolder}}, .folder = "out.zel", .outcome = Outcome::Refused,
         .shown = {{Shown::Warning, "変換後のファイル名はフォルダです。" + notAFile}}},
        {.what = "backup folder missing", .target = "none/site", .targetAfter = "none/site.zel",
         .files = {{"site.zel", old100}}, .outcome = Outcome::BackupFailed,
         .shown = {{Shown::Warning, platform::DescribeError(platform::code::PathNotFound)}}},
        {.what = "folder of the backup name", .files = {{"site.zel", old100}, {"site.bak", kFolder}},
         .folder = "site.bak", .outcome = Outcome::BackupFailed, .shown = {kQuestion, {Shown::Warning, kReadOnly}}},
        {.what = "backup disk full", .files = {{"site.zel", old100}}, .fault = platform::code::DiskFull,
         .outcome = Outcome::BackupFailed, .shown = {kQuestion, {Shown::Warning,
            platform::DescribeError(platform::code::DiskFull) + "\r別のディスクへ保存してください"}}},
        {.what = "1.00 in place", .source = "現場.zel", .target = "現場.zel", .targetAfter = "現場.zel",
         .files = {{"現場.zel", old100}}, .written = {{"現場.zel", new100}, {"現場.bak", old100}},
         .backup = "現場.bak", .shown = {kQuestion, backedUp}},
        {.what = "backup name taken", .files = {{"site.zel", old100}, {"site.bak", {'o'}}},
         .written = {{"site.zel", new100}}, .shown = {kQuestion, {Shown::Info, kConverted}}},
        {.what = "new target", .target = "new", .targetAfter = "new.zel", .files = {{"site.zel", old101}},
         .written = {{"new.zel", new101}, {"new.bak", old101}}, .backup = "new.bak", .shown = {backedUp}},
        {.what = "other existing target, longer: replaced exactly", .target = "other.zel",
         .targetAfter = "other.zel", .files = {{"site.zel", old100}, {"other.zel", Bytes(200000, 'q')}},
         .written = {{"other.zel", new100}, {"other.bak", old100}}, .backup = "other.bak",
         .shown = {kQuestion, backedUp}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        // Names that are empty or begin with a blank are used as they are, the others lie in `dir`.
        auto full = [&](std::string leaf) { return leaf.empty() || leaf[0] == ' ' ? leaf : dir.file(leaf); };
        if (!c.folder.empty()) fs::create_directory(test::PathFromUtf8(dir.file(c.folder)));
        for (const auto& [leaf, bytes] : c.files)
            if (leaf != c.folder) test::WriteBytes(dir.file(leaf), bytes);
        ConversionState state{full(c.source), full(c.target), "earlier.bak", {}};
        WorkingSet ws;
        test::RecordingMessages messages;
        messages.answers = {c.answer};
        std::string shownTarget; // what the target field would show
        state.targetSettled = [&](const std::string& name) {
            shownTarget = name + "@" + std::to_string(messages.shown.size());
        };
        platform::InjectWriteFault(c.fault);
        EXPECT_EQ(RunConversion(state, ws, messages), c.outcome);
        platform::InjectWriteFault(0, 0);

        std::vector<Shown> expected = c.shown;
        for (Shown& s : expected)
            for (const auto& [mark, name] :
                 {std::pair{'@', state.sourceName}, {'#', state.targetName}, {'%', dir.file(c.backup)}})
                if (auto at = s.text.find(mark); at != std::string::npos) s.text.replace(at, 1, name);
        EXPECT_EQ(messages.shown, expected);
        Files after = c.written; // and the files it leaves
        after.insert(c.files.begin(), c.files.end());
        EXPECT_EQ(test::SnapshotOf(dir.path()), after);
        EXPECT_EQ(state.targetName, full(c.targetAfter));
        EXPECT_EQ(shownTarget, c.outcome == Outcome::EmptyFields ? "" : state.targetName + "@0");
        EXPECT_EQ(state.backupFileName, c.backup.empty() ? "earlier.bak" : dir.file(c.backup));
    }
}

// Another program's save during a conversion is never lost: a rename finds another file than expected
// and replaces nothing, a source written during the backup copy is not converted (Windows: refused).
TEST(Conversion, AnotherProgramsSaveDuringTheConversionStays) {
    const Bytes old100 = test::SampleFile(FileVersion::V100), old101 = test::SampleFile(FileVersion::V101);
    const Bytes saved(5000, 's');
    const std::string changed = "変換中にほかのプログラムがファイルを変更しました。変換しませんでした。";
    using platform::Moment;
    struct Case {
        const char* what{};
        Bytes source{};
        std::string target = "site.zel";
        Bytes targetBefore{}; // none when empty
        Moment moment = Moment::BeforeReplace;
        int reach = 1; // the reach of the moment at which the other program saves
        Outcome outcome = Outcome::WriteFailed;
    };
    // clang-format off
    const Case cases[] = {
        {.what = "1.01 in place", .source = old101},
        {.what = "1.00 in place, at the 1.01 step", .source = old100},
        {.what = "1.00 in place, at the 1.02 step", .source = old100, .reach = 2, .outcome = Outcome::WriteFailedAfter101},
        {.what = "source appended to during the backup copy", .source = old101, .moment = Moment::DuringCopy,
         .outcome = Outcome::BackupFailed},
        {.what = "-o target saved after the question", .source = old100, .target = "out.zel",
         .targetBefore = Bytes(300, 't')},
        {.what = "-o target made after the name was settled", .source = old101, .target = "out.zel"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        test::WriteBytes(dir.file("site.zel"), c.source);
        if (!c.targetBefore.empty()) test::WriteBytes(dir.file(c.target), c.targetBefore);
        const std::string savedName = dir.file(c.target),
                          backup = c.target.substr(0, c.target.size() - 3) + "bak";
        // Saved as editors save: a new file renamed over the old one, or appended to in place.
        bool saveFailed = false;
        auto save = [&] {
            std::error_code error;
            if (c.moment == Moment::DuringCopy) {
                std::ofstream(test::PathFromUtf8(savedName), std::ios::binary | std::ios::app) << "appended";
                saveFailed = test::ReadBytes(savedName).size() == c.source.size();
                return;
            }
            test::WriteBytes(savedName + ".new", saved);
            fs::rename(test::PathFromUtf8(savedName + ".new"), test::PathFromUtf8(savedName), error);
            saveFailed = static_cast<bool>(error);
            if (saveFailed) fs::remove(test::PathFromUtf8(savedName + ".new"));
        };
        platform::InjectAt(
            c.moment,
            c.reach == 1 ? std::function<void()>(save) : [&] { platform::InjectAt(c.moment, save); });
        ConversionState state{dir.file("site.zel"), dir.file(c.target), "", {}};
        WorkingSet ws;
        test::RecordingMessages messages;
        const Outcome outcome = RunConversion(state, ws, messages);
        platform::InjectAt(c.moment, {});

#ifdef _WIN32
        // Held until the first rename: a save before it is refused and the conversion completes (the
        // 1.01 file of the 1.02 step is no longer the source held).
        if (c.target == "site.zel" && c.reach == 1) { // in place
            EXPECT_TRUE(saveFailed);
            EXPECT_EQ(outcome, Outcome::Converted);
            EXPECT_EQ(test::SnapshotOf(dir.path()).count(backup), 1u);
            continue;
        }
#endif
        EXPECT_FALSE(saveFailed);
        EXPECT_EQ(outcome, c.outcome);
        Files after{{"site.zel", c.source}};
        after[c.target] = c.moment == Moment::DuringCopy ? test::ReadBytes(savedName) : saved;
        if (c.moment == Moment::BeforeReplace) after[backup] = c.source;
        EXPECT_EQ(test::SnapshotOf(dir.path()), after);
        const std::string namedBelow = c.moment == Moment::DuringCopy ? state.sourceName : state.targetName;
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back(), (Shown{Shown::Warning, changed + NameBelow(namedBelow)}));
    }
}

// Leftovers of killed writes go at once, except a missing target's (perhaps the only copy of its
// content): those are kept and named until a run writes that target.
TEST(Conversion, LeftoversGoUnlessTheTargetIsMissingThenTheyAreNamedUntilItIsWritten) {
    WorkingSet ws;
    test::TempDir dir;
    const std::string mark(platform::kTemporaryMark), kept = ".out.zel" + mark + "cccccc";
    const std::string a = ".site.zel" + mark + "aaaaaa", b = ".site.bak" + mark + "bbbbbb";
    test::WriteBytes(dir.file("site.zel"), test::SampleFile(FileVersion::V101));
    for (const std::string& leaf : {a, b, kept})
        test::WriteBytes(dir.file(leaf), Bytes(77, 'p'));
    const Shown named{
        Shown::Info, "以前に中断された書き込みの一時ファイルが残っています。\r書き込み先のファイルがないため"
                     "消さずに残しました。このファイルにしか残っていない内容があるかもしれません。\r\r     " +
                         dir.file(kept)};
    const struct {
        std::string source, target;
        Outcome outcome;
        std::vector<std::string> files;
    } runs[] = {
        {"gone.zel", "out.zel", Outcome::Refused, {kept, b, a, "site.zel"}},
        {"site.zel", "site.zel", Outcome::Converted, {kept, "site.bak", "site.zel"}},
        {"site.zel", "out.zel", Outcome::AlreadyCurrent, {kept, "site.bak", "site.zel"}},
        {"site.bak", "out.zel", Outcome::Converted, {"out.bak", "out.zel", "site.bak", "site.zel"}},
    };
    for (const auto& run : runs) {
        ConversionState state{dir.file(run.source), dir.file(run.target), "", {}};
        test::RecordingMessages shown;
        EXPECT_EQ(RunConversion(state, ws, shown), run.outcome) << run.source;
        EXPECT_EQ(test::ListFolder(dir.path()), run.files) << run.source;
        EXPECT_EQ(!shown.shown.empty() && shown.shown.back() == named, run.outcome != Outcome::Converted)
            << run.source;
    }
}

const std::string kNotData = "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     ";

struct Reading : ::testing::Test {
    test::TempDir dir;
    WorkingSet ws;
    test::RecordingMessages messages;
    std::string Put(const std::string& leaf, const Bytes& bytes) {
        test::WriteBytes(dir.file(leaf), bytes);
        return dir.file(leaf);
    }
};

// Twelve anchors: the files are larger than the writer's buffer, which is passed on more than once.
TEST_F(Reading, A100FileBecomes101Then102AndNeitherTheNextFileNorARefusedOneSeesItsData) {
    const auto project = test::SampleProject({.anchorCount = 12});
    project->main.Text2 = project->main.Text3 = String{std::string(60000, 'a')}; // past the reader's buffer
    const std::string name = Put("a.zel", test::FileBytes(FileVersion::V100, *project));
    ws.factorPair.HighFactor = Single{0x12345678};
    ASSERT_EQ(LoadUsrData(ws, name, messages), LoadResult::OldFormat);
    EXPECT_EQ(ws.LastSignature, FileVersion::V100);
    EXPECT_EQ(ws.factorPair.HighFactor.bits, 0x12345678u);
    ASSERT_EQ(Write101(ws, name, messages), WriteResult::Written);
    auto as101 = std::make_unique<Body101>(*project);
    as101->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // 1.1 and 0.9
    EXPECT_EQ(test::ReadBytes(name), test::FileBytes(FileVersion::V101, *as101));
    ASSERT_EQ(Write102(ws, name, messages), WriteResult::Written);
    EXPECT_EQ(test::ReadBytes(name), test::FileBytes(FileVersion::V102, *as101));
    EXPECT_TRUE(messages.shown.empty());

    // The next file, a 1.01 one keeping its own factors, converts as it would alone; 620,000 empty
    // strings in its first list (1.2 MB) take little memory and are no reason to refuse it.
    const auto next = test::SampleProject({.anchorCount = 1});
    next->main.ListA.Dimension(1, 620000);
    Bytes nextFile = test::FileBytes(FileVersion::V101, *next);
    nextFile.insert(nextFile.end(), 3000, 0xEE); // bytes after the last block are never read
    ASSERT_EQ(LoadUsrData(ws, Put("b.zel", nextFile), messages), LoadResult::OldFormat);
    ASSERT_EQ(Write102(ws, dir.file("b.zel"), messages), WriteResult::Written);
    EXPECT_EQ(test::ReadBytes(dir.file("b.zel")), test::FileBytes(FileVersion::V102, *next));

    // A refused file, with its message, changes nothing of the file read before it.
    const Bytes good = test::SampleFile(FileVersion::V101, {.anchorCount = 1});
    Bytes lowerCase = good;
    lowerCase[0] = 't'; // a signature differs by the case of one letter
    struct Case {
        std::string name;
        std::string text; // followed by the name
        bool openFault = false;
        std::uint64_t readFaultAt = UINT64_MAX; // a read that reaches past this offset fails
    };
    std::vector<Case> cases = {
        {"", "ファイルを指定してください"},
        {Put("foreign.zel", Bytes(5000, 'x')), kNotData},
        {Put("case.zel", lowerCase), kNotData},
        {Put("locked.zel", good), kNotData, true},
        {Put("unreadable.zel", good), kNotData, false, 1000}, // the disk fails inside the body
        {Put("cut.zel", Bytes(good.begin(), good.end() - 1)),
         "ファイルが壊れているため変換できません。\r\r     "},
    };
#ifdef _WIN32
    // Held by another program without sharing: in use, never "not data".
    const std::string held = Put("held.zel", good);
    const HANDLE holder =
        CreateFileW(platform::Widen(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    cases.push_back({held, "読み込みできません。ファイルはほかのプログラムで使用中です。\r\r     "});
#endif
    const Main101 before = ws.main101;
    for (const Case& c : cases) {
        messages.shown.clear();
        platform::InjectReadFault(c.openFault ? 1 : 0);
        platform::InjectReadFaultAt(c.readFaultAt);
        EXPECT_EQ(LoadUsrData(ws, c.name, messages), LoadResult::Refused) << c.name;
        EXPECT_EQ(messages.shown, (std::vector<Shown>{{Shown::Warning, c.text + c.name}})) << c.name;
        EXPECT_EQ(ws.LastSignature, FileVersion::V101) << c.name;
        EXPECT_TRUE(ws.main101 == before) << c.name;
    }
#ifdef _WIN32
    CloseHandle(holder);
#endif
}

// The sample files beside the project convert to the bytes an independent implementation gives.
TEST_F(Reading, SampleFilesConvertToTheirExpectedBytes) {
    const std::filesystem::path samples = ZEL_SAMPLES_DIR;
    if (!std::filesystem::exists(samples / "two-anchors-100.zel")) GTEST_SKIP() << "no sample files here";
    auto sample = [&](const std::string& leaf) { return test::ReadBytes((samples / leaf).string()); };
    const std::pair<std::string, const char*> cases[] = {
        {"two-anchors-100", "two-anchors-100.expected-102.zel"},
        {"no-anchors-101", "no-anchors-101.expected-102.zel"},
        {"step-count-11-100", "step-count-11-100.expected-101.zel"}};
    for (const auto& [source, expected] : cases) {
        const std::string name = Put(source + ".zel", sample(source + ".zel"));
        ASSERT_EQ(LoadUsrData(ws, name, messages), LoadResult::OldFormat);
        if (ws.LastSignature == FileVersion::V100) {
            EXPECT_EQ(Write101(ws, name, messages), WriteResult::Written);
        }
        (void)Write102(ws, name, messages); // fails for the steps of one sample: its bytes tell
        EXPECT_EQ(test::ReadBytes(name), sample(expected)) << source;
    }
    EXPECT_EQ(LoadUsrData(ws, (samples / "truncated-101.zel").string(), messages), LoadResult::Refused);
}

// The name rule that settles the target name and derives the backup name.
TEST(NameRule, DerivesNamesByCharactersInTheLastComponent) {
    struct Case {
        std::string name, extension, expected; // inside the folder `d`
    };
#ifdef _WIN32
    const std::string s = "\\";
    const Case slashCase{"data/my.zel/site", ".zel", "data/my.zel/.zel"}; // "/" is no separator
#else
    const std::string s = "/";
    const Case slashCase{"C:\\my.zel\\site", ".zel", "C:\\my.zel\\.zel"}; // "\" is no separator
#endif
    const std::string d = "C:" + s + "data" + s;
    // clang-format off
    const Case cases[] = {
        {"site.zel", ".zel", "site.zel"}, {"site", ".zel", "site.zel"}, {"site.ZEL", ".zel", "site.ZEL.zel"},
        {"site.zel.old", ".zel", "site.zel.zel"}, {"site.zelx", ".zel", "site..zel"},
        {".zelx", ".zel", "..zel"}, // ".zel" from the component's first character
        {"my.zel" + s + "site", ".zel", "my.zel" + s + "site.zel"}, {"site.zel", ".bak", "site.bak"},
        {"site.ZEL.zel", ".bak", "site.ZEL.bak"}, slashCase,
        {"現場.zel.旧版", ".zel", "現場.ze.zel"},                  // four characters dropped, not four bytes
        {"site.zel𠮷𠮷𠮷", ".zel", "site.ze.zel"},                 // characters of four bytes each
        {"site.zel\xBF\x80\x80\x80ࠀ", ".zel", "site.zel\xBF.zel"}, // bytes that begin no character
        {"site.zel\xE3" "a\x80©", ".zel", "site.zel.zel"},          // nor a cut one
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(DeriveName(d + c.name, c.extension), d + c.expected) << c.name;
}

// One conversion answering Yes, as on a file system with or without unnamed files and links.
void Convert(const std::string& source, const std::string& target, bool withoutLinks) {
    platform::InjectFileSystemWithoutLinks(withoutLinks);
    ConversionState state{source, target, "", {}};
    auto ws = std::make_unique<WorkingSet>();
    test::RecordingMessages yes;
    (void)RunConversion(state, *ws, yes); // the crash test judges the files
    platform::InjectFileSystemWithoutLinks(false);
}

#ifdef _WIN32
constexpr const wchar_t* kChildVariable = L"ZELCONV_CRASH_CHILD";

// The child of the crash test: the conversion that the crash seam ends at the step the parent names.
TEST(Crash, Child) {
    wchar_t order[4096];
    const DWORD length = GetEnvironmentVariableW(kChildVariable, order, 4096);
    if (length == 0 || length >= 4096) GTEST_SKIP() << "runs only as the child of the crash test";
    std::istringstream in(platform::Narrow(std::wstring_view(order, length)));
    std::string source, target;
    std::uint64_t point = 0;
    std::getline(in, source);
    std::getline(in, target);
    in >> point;
    platform::InjectCrashAt(point);
    Convert(source, target, false);
}

// A conversion in a child process that the crash seam ends at step `point` as a kill would; false
// when it finished first.
bool ConvertKilledAt(std::uint64_t point, const std::string& source, const std::string& target, bool) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(kChildVariable,
                            platform::Widen(source + "\n" + target + "\n" + std::to_string(point)).c_str());
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Crash.Child";
    // The child's report would only repeat the parent's: it goes nowhere.
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
    PROCESS_INFORMATION process{};
    // Wine now and then fails to start a process for a moment (ERROR_INTERNAL_ERROR): tried again.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0) Sleep(200);
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                 &startup, &process);
    }
    CloseHandle(nowhere);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    EXPECT_TRUE(started) << GetLastError();
    if (!started) return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status == 137;
}
#else
bool ConvertKilledAt(std::uint64_t point, const std::string& source, const std::string& target,
                     bool withoutLinks) {
    const pid_t child = ::fork();
    if (child == 0) {
        platform::InjectCrashAt(point);
        Convert(source, target, withoutLinks);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}
#endif

// A kill at any step of the write protocol (each change to the disk, the middle of each write) leaves
// the target old, whole 1.01 (from 1.00) or whole 1.02 and the backup whole or absent; one more run
// leaves no temporary file. On Linux also where the file system has no unnamed files nor hard links.
TEST(Crash, EveryKillLeavesTheTargetWholeAndOneMoreRunLeavesNothing) {
    using enum FileVersion;
    enum Target { InPlace, NewFile, OverAnother };
    struct Path {
        FileVersion version;
        Target target;
        bool withoutLinks;
    };
    std::vector<Path> paths = {
        {V100, InPlace, false}, {V101, InPlace, false}, {V100, NewFile, false}, {V100, OverAnother, false}};
#ifndef _WIN32
    paths.insert(paths.end(), {{V100, InPlace, true}, {V100, NewFile, true}});
#endif
    for (const Path& path : paths) {
        SCOPED_TRACE(testing::Message() << (path.version == V100 ? "1.00 " : "1.01 ") << path.target << " "
                                        << path.withoutLinks);
        const auto project = test::SampleProject({.anchorCount = 1});
        project->factorPair = {Single{0x3F8CCCCD}, Single{0x3F666666}}; // what a 1.00 file gets
        const Bytes source = test::FileBytes(path.version, *project), other(5000, 'o');
        const Bytes as101 = test::FileBytes(V101, *project), as102 = test::FileBytes(V102, *project);
        const Bytes& before = path.target == InPlace ? source : other; // the target's bytes before
        const std::string targetLeaf = path.target == InPlace ? "site.zel" : "out.zel",
                          backupLeaf = path.target == InPlace ? "site.bak" : "out.bak";
        std::uint64_t point = 0; // at the end: the number of steps killed at
        for (;; ++point) {
            test::TempDir dir;
            test::WriteBytes(dir.file("site.zel"), source);
            if (path.target == OverAnother) test::WriteBytes(dir.file("out.zel"), other);
            const std::string target = dir.file(targetLeaf);
            if (!ConvertKilledAt(point, dir.file("site.zel"), target, path.withoutLinks)) break;
            test::Snapshot files = test::SnapshotOf(dir.path());
            const bool targetOld =
                path.target == NewFile ? !files.count(targetLeaf) : files[targetLeaf] == before;
            const Bytes& result = files[targetLeaf];
            EXPECT_TRUE(targetOld || result == as102 || (path.version == V100 && result == as101))
                << "killed at step " << point;
            EXPECT_TRUE(!files.count(backupLeaf) || files[backupLeaf] == source) << point;

            Convert(dir.file("site.zel"), target, path.withoutLinks);
            files = test::SnapshotOf(dir.path());
            for (const auto& file : files)
                EXPECT_EQ(file.first.find(platform::kTemporaryMark), std::string::npos)
                    << file.first << " stayed after one more run; killed at step " << point;
            EXPECT_EQ(files[targetLeaf], as102) << point;
        }
        EXPECT_GE(point, 8u); // the backup and each write take several steps
    }
}

} // namespace
} // namespace zel
