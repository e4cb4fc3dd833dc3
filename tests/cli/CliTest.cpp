// The command line in-process through a recording console, and as the built program, on real files.
#include "cli/CliApp.h"
#include "platform/Platform.h"
#include "platform/TestSeams.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

struct FakeConsole : Console {
    FakeConsole(bool isTerminal = false, std::deque<std::string> typed = {},
                WriteResult result = WriteResult::Written)
        : terminal(isTerminal), outResult(result), lines(std::move(typed)) {}
    std::string out, err;
    bool terminal;
    WriteResult outResult; // how every write to standard output ends
    std::deque<std::string> lines;
    WriteResult Write(Stream stream, const std::string& text) override {
        if (stream == Stream::Out && outResult != WriteResult::Written) return outResult;
        (stream == Stream::Out ? out : err) += text;
        return WriteResult::Written;
    }
    bool InputIsTerminal() override { return terminal; }
    std::optional<std::string> ReadLine() override {
        std::optional<std::string> line;
        if (!lines.empty()) line = lines.front(), lines.pop_front();
        return line;
    }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Cli : ::testing::Test {
    test::TempDir dir;
    FakeConsole console;
    // A run on `fresh`, a new console unless the last one is passed on to add to its output.
    int Run(std::vector<std::string> args, FakeConsole fresh = {}) {
        console = std::move(fresh);
        return RunCli(args, console);
    }
    std::string Put(const std::string& leaf, const Bytes& bytes) {
        test::WriteBytes(dir.file(leaf), bytes);
        return dir.file(leaf);
    }
    // The folder `leaf` with files a.zel to `last`.zel holding `bytes`.
    std::string Folder(const std::string& leaf, const Bytes& bytes, char last = 'f') {
        fs::create_directories(test::PathFromUtf8(dir.file(leaf)));
        for (char c = 'a'; c <= last; ++c)
            Put(leaf + platform::kSeparator + c + ".zel", bytes);
        return dir.file(leaf);
    }
};

// --undo: one question (Enter answers はい); --no or nobody to ask only says what would be done.
TEST_F(Cli, UndoAsksOnceThenPutsBackOrOnlySaysWhatItWouldDo) {
    const Bytes old = test::SampleFile(FileVersion::V100);
    const std::string folder = Folder("f", old, 'b');
    Put("f/c.zel", test::SampleFile(FileVersion::V102));
    ASSERT_EQ(Run({"--yes", folder}), 0);
    const auto converted = test::SnapshotOf(test::PathFromUtf8(folder));
    const std::string a = folder + platform::kSeparator + "a.zel",
                      c = folder + platform::kSeparator + "c.zel";
    const std::string question = "質問: 2 個のファイルを変換前に戻します。よろしいですか？";
    for (const auto& [options, terminal] : std::initializer_list<std::pair<std::vector<std::string>, bool>>{
             {{"--no"}, false}, {{}, false}, {{"-j", "2"}, true}}) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--undo", folder});
        EXPECT_EQ(Run(args, FakeConsole(terminal, {""})), 1); // c.zel is not put back
        EXPECT_TRUE(Contains(console.err, question + (terminal ? " [Y/n] " : " いいえ"))) << console.err;
        EXPECT_TRUE(
            Contains(console.out, a + ": " + (terminal ? "戻しました：a.bak（" : "戻します：a.bak（")) &&
            Contains(console.out, c + ": 戻しません：バックアップがありません\n") &&
            Contains(console.out, "合計 3 件: 戻した " + std::string(terminal ? "2" : "0")))
            << console.out;
        EXPECT_TRUE(terminal || test::SnapshotOf(test::PathFromUtf8(folder)) == converted);
    }
    EXPECT_EQ(Run({"--undo", folder}, FakeConsole(true)), 1); // nothing left to put back: nothing asked
    EXPECT_FALSE(Contains(console.err, "質問")) << console.err;
    EXPECT_EQ(Run({"--undo", "--check", folder}), 2);
}

// In place with --yes: lines in the list's order, backups, the summary, exit code 1 on a refusal or failure.
TEST_F(Cli, ConvertsFilesAndFoldersInPlaceInListOrder) {
    const Bytes a = test::SampleFile(FileVersion::V100, {.anchorCount = 3}),
                b = test::SampleFile(FileVersion::V101),
                bad = test::SampleFile(FileVersion::V101, {.failingAnchor = 1});
    Put("三.zel", test::SampleFile(FileVersion::V102));
    Put("SITE.ZEL.zel", Bytes(10, 'e'));
    EXPECT_EQ(Run({"--yes", Put("一.zel", a), Put("二.zel", b), dir.file("三.zel"), dir.file("missing.zel"),
                   Put("bad.zel", bad), Put("SITE.ZEL", a)}),
              1);
    EXPECT_TRUE(Contains(
        console.out,
        "合計 6 件: 変換 3 件、変換不要 1 件、スキップ (上書きしない) 0 件、拒否 1 件、失敗 1 件\n"));
    // Each message on its own lines, prefixed by its kind; the question names its file.
    EXPECT_TRUE(Contains(console.err,
                         "質問: データが存在します。上書きしてもよろしいですか？ (" + dir.file("一.zel") +
                             ") はい (--yes)\n情報: 指定したファイルは最新バージョンに変換されました。\n\n"
                             "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n" +
                             dir.file("一.bak") + "\n"));
    EXPECT_TRUE(!Contains(console.err, "\r") &&
                Contains(console.err, "情報: 変換不要 (すでに最新形式です)\n"));
    EXPECT_TRUE(Contains(console.err,
                         "警告: インデックスが有効範囲にありません。\n1 番目のアンカー：段階数が 11 あり"));
    // What each kind of file becomes is the batch's (BatchTest); here only that "SITE.ZEL" itself is written.
    EXPECT_EQ(test::ReadBytes(dir.file("SITE.ZEL")), test::ReadBytes(dir.file("一.zel")));

    // The folder and a file named are listed as one list (BatchTest: which files, in which order).
    const std::string f = Folder("f", b, 'b') + platform::kSeparator;
    EXPECT_EQ(Run({"-j", "2", "--yes", dir.file("f"), dir.file("一.zel")}), 0) << console.err;
    EXPECT_TRUE(
        Contains(console.out, "[1/3] " + f + "a.zel\n[2/3] " + f + "b.zel\n[3/3] " + dir.file("一.zel")))
        << console.out;

    // -o follows the name rule of the window, and says so before the file is written.
    EXPECT_EQ(Run({"-o", dir.file("新"), dir.file("一.bak")}), 0) << console.err;
    EXPECT_TRUE(Contains(console.err, "情報: -o の「" + dir.file("新") + "」ではなく、「" +
                                          dir.file("新.zel") + "」に書き込みます"));
}

TEST_F(Cli, TheOverwriteQuestionIsAnsweredAsTheCommandLineSays) {
    // The command line, a terminal, the lines typed, what is shown (empty: no question), converted.
    const std::string a = dir.file("a.zel"), b = Put("b.zel", test::SampleFile(FileVersion::V102)),
                      q = "上書きしてもよろしいですか？ (" + a + ") ",
                      noTerminal =
                          q + "いいえ (端末がないため確認できません。上書きするには --yes を付けてください)";
    const std::tuple<std::vector<std::string>, bool, std::deque<std::string>, std::string, bool> cases[] = {
        {{"--no", a}, false, {}, q + "いいえ (--no)", false},
        {{a}, false, {}, noTerminal, false},
        {{"-j", "2", a}, false, {}, noTerminal, false}, // several workers: No for every file at once
        {{a}, true, {"maybe", " Yes "}, q + "[Y/n] y (はい) か n (いいえ) で答えてください。", true},
        {{a}, true, {""}, q + "[Y/n] ", true}, // Enter answers Yes
        {{a}, true, {}, q + "[Y/n] \nいいえ (入力が終わりました)", false},
        // -j 2 asks once up front, counting only the files to be written (a.zel once); with none, nothing.
        {{"-j", "2", a, dir.file(""), dir.file("none.zel")}, true, {"n"}, "質問: 1 個のファイル", false},
        {{"-j", "2", b, dir.file("none.zel")}, true, {"n"}, "", false},
        {{"--no", a, b}, false, {}, "変換不要 1 件、スキップ (上書きしない) 1 件、拒否 0 件", false},
    };
    const Bytes old = test::SampleFile(FileVersion::V101);
    for (const auto& [args, terminal, lines, shown, converted] : cases) {
        Put("a.zel", old);
        EXPECT_EQ(Run(args, {terminal, lines}), converted ? 0 : 1) << shown;
        EXPECT_TRUE(Contains(console.err + console.out, shown) &&
                    Contains(console.err, "質問") != shown.empty())
            << console.err;
        EXPECT_EQ(test::ReadBytes(a) != old, converted) << shown;
    }
}

// Nothing is written by help, version, --check, a wrong command line or output that cannot be written.
TEST_F(Cli, HelpVersionCheckWrongCommandLinesAndOutputThatCannotBeWritten) {
    const Bytes current = test::SampleFile(FileVersion::V102);
    // A file whose first list holds a million empty strings (2 bytes each) and then ends: Code,
    // AnchorCount, four empty texts, Setting, the list's header (1 to 1,000,000), the strings.
    Bytes cutList(kSignature102.begin(), kSignature102.end());
    cutList.insert(cutList.end(),
                   {8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x40, 0x42, 0x0F, 0, 1, 0, 0, 0});
    cutList.resize(cutList.size() + 2000000, 0);
    const std::string a = Put("a.zel", test::SampleFile(FileVersion::V100)), t = dir.file("t.zel"),
                      b = Put("b.zel", test::SampleFile(FileVersion::V101)), cur = Put("c.zel", current);
    // clang-format off
    const std::pair<std::string, const char*> checks[] = {
        {Put("foreign.zel", Bytes(100, 'x')), "カルトゥーバのデータではありません\n"},
        {Put("cut102.zel", Bytes(current.begin(), current.end() - 1)), "データが壊れています\n"},
        {a, "1.00 形式 (変換が必要です)\n"}, {b, "1.01 形式 (変換が必要です)\n"},
        {cur, "1.02 形式 (変換の必要はありません)\n"}, {Put("cut-list.zel", cutList), "データが壊れています\n"}};
    std::vector<std::string> checkAll{"--check"};
    std::string verdicts;
    for (const auto& [name, verdict] : checks) {
        checkAll.push_back(name);
        verdicts += name + ": " + verdict;
    }
#ifndef _WIN32
    fs::create_symlink("loop.zel", dir.path() / "loop.zel"); // a circle of links, nothing to write into
#endif
    const auto before = test::SnapshotOf(dir.path());
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
        Console::WriteResult outResult = Console::WriteResult::Written;
    } cases[] = {
        {{"--help"}, 0, "「情報: 」「警告: 」「質問: 」", ""},
        {{"-j", "0", a}, 2, "", "-j には 1 から 9999 までの数を指定してください: 0"},
        {{"-j10000", a}, 2, "", "-j には 1 から 9999 までの数を指定してください: 10000"},
        {{"-j", "2x", a}, 2, "", "-j には 1 から 9999 までの数を指定してください: 2x"},
        {{"--check", "--", "--help", "-"}, 1,
         "--help: ファイルが見つかりません\n-: ファイルが見つかりません", ""},
        {checkAll, 1, verdicts, ""}, {{"--check", a, b, cur}, 0, "", ""},
        {{"--version"}, 0, "1.00.0037\n旧ファイルを新しいバージョンに変換するプログラム", ""},
        {{}, 2, "", "使い方:"},
        {{"--bogus\x1B[2J\n", a}, 2, "", "不明なオプションです: --bogus\\x1B[2J\\x0A\n"},
        {{"-o", dir.file("out") + "/", a}, 2, "", "フォルダではなく"},
        {{"-o", dir.file("."), a}, 2, "", "」はフォルダです。フォルダの中に作るファイルの名前"},
#ifdef _WIN32
        {{"-o", dir.file("nul"), a}, 2, "", "」は通常のファイルではありません（デバイスなど）。"},
        {{"-o", dir.file("COM1.zel"), a}, 2, "", "」は通常のファイルではありません（デバイスなど）。"},
#else
        {{"-o", "/dev/null", a}, 2, "", "-o の「/dev/null」は通常のファイルではありません（デバイスなど）。"},
        {{"-o", dir.file("loop.zel"), a}, 2, "", "」は循環するシンボリックリンクです。"},
#endif
        {{"-o", t, a, a}, 2, "", "一つだけ"}, {{"--yes", "--no", a}, 2, "", "同時に"},
        {{"-o", t, "-o", t, a}, 2, "", "-o は一度だけ"}, {{"-o", t}, 2, "", "ファイルを指定してください。"},
        {{a, "-o"}, 2, "", "-o の後に"}, {{"--check", "-o", t, a}, 2, "", "一緒には使えません"},
        {{"--help"}, 3, "", "標準出力に書き込めませんでした", Console::WriteResult::Failed},
        {{"--check", t, a}, 1, "", "標準出力に書き込めませんでした", Console::WriteResult::Failed}, // said once
        {{"--check", a, t}, 3, "", "", Console::WriteResult::BrokenPipe}, // ends silently, t unseen
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(Run(c.args, {false, {}, c.outResult}), c.status);
        EXPECT_TRUE(Contains(console.out, c.out) && Contains(console.err, c.err));
        EXPECT_TRUE(c.outResult != Console::WriteResult::BrokenPipe || console.err.empty()) << console.err;
        EXPECT_EQ(console.err.find("標準出力"), console.err.rfind("標準出力")) << console.err;
    }
    EXPECT_EQ(test::SnapshotOf(dir.path()), before);
}

// After a run over a.zel … f.zel that stopped at its first line, only files begun by then are converted.
void ExpectStoppedAfterTheFirstFile(const std::string& folder, const Bytes& old, const std::string& jobs) {
    const auto files = test::SnapshotOf(test::PathFromUtf8(folder));
    std::size_t converted = 0;
    for (const auto& [name, bytes] : files) {
        const std::string backup = name.substr(0, 2) + "bak";
        EXPECT_TRUE(name.size() == 5 &&
                    (name.ends_with(".bak") ? bytes == old : (bytes != old) == files.contains(backup)))
            << name;
        converted += name.ends_with(".bak") ? 1 : 0;
    }
    EXPECT_TRUE(files.at("a.zel") != old && files.at("f.zel") == old);
    EXPECT_TRUE(converted == 1 || (converted < 6 && jobs == "2")) << converted;
}

// A reader that goes away stops the run as 中止 does, silently, after the files being converted.
TEST_F(Cli, ABrokenPipeStopsTheRunAfterTheFilesBeingConverted) {
    const Bytes old = test::SampleFile(FileVersion::V100, {.anchorCount = 2});
    for (auto [withoutLinks, jobs] : {std::pair{false, "1"}, {false, "2"}, {true, "1"}, {true, "2"}}) {
        const std::string folder = Folder(std::string("f") + jobs + (withoutLinks ? "n" : "l"), old);
        platform::InjectFileSystemWithoutLinks(withoutLinks);
        EXPECT_EQ(Run({"--yes", "-j", jobs, folder}, {false, {}, Console::WriteResult::BrokenPipe}), 3)
            << jobs;
        platform::InjectFileSystemWithoutLinks(false);
        EXPECT_EQ(console.err, "");
        ExpectStoppedAfterTheFirstFile(folder, old, jobs);
    }
}

#ifndef _WIN32
// The built program's exit status (128 + a signal), its output on `out`, errors on `err`, `closed` closed.
int RunProgram(const std::vector<std::string>& args, int out, const std::vector<int>& closed = {},
               int err = -1) {
    const std::string program = ZELCONV_CLI_PATH;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        if (out >= 0) ::dup2(out, STDOUT_FILENO);
        ::dup2(err >= 0 ? err : ::open("/dev/null", O_WRONLY), STDERR_FILENO);
        for (int fd : closed)
            ::close(fd);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Names on the console with their control characters as \xHH. The built program: a name that is not UTF-8,
// a full disk on standard output, a pipe closed early (SIGPIPE does not kill it), standard streams closed.
TEST_F(Cli, NamesAndStandardStreamsOfTheRealProgram) {
    const std::string odd = dir.file("\x1B[2J\n\x7F\xC2\x80\xC2\x9F"),
                      shown = dir.file("\\x1B[2J\\x0A\\x7F\\xC2\\x80\\xC2\\x9F");
    Put(odd.substr(odd.rfind('/') + 1) + ".zel", test::SampleFile(FileVersion::V101));
    EXPECT_EQ(Run({"--yes", odd + ".zel", Put("b.zel", test::SampleFile(FileVersion::V102))}), 0);
    EXPECT_EQ(Run({"--no", "-o", odd + ".zel", odd + ".bak"}, console), 1);
    EXPECT_EQ(Run({"--check", odd + ".zel"}, console), 0);
    EXPECT_TRUE(Contains(console.out, "[1/2] " + shown + ".zel\n") &&
                Contains(console.out, shown + ".zel: 1.02 形式") &&
                Contains(console.err, "(" + shown + ".zel) はい (--yes)\n") &&
                Contains(console.err, "(" + shown + ".zel) いいえ (--no)\n") &&
                Contains(console.err, "必要がなければ消して下さい。\n" + shown + ".bak\n"))
        << console.out << console.err;
    const std::string all = console.out + console.err;
    EXPECT_TRUE(std::none_of(all.begin(), all.end(),
                             [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7F; }) &&
                !Contains(all, "\xC2\x80") && !Contains(all, "\xC2\x9F"));
    const Bytes old = test::SampleFile(FileVersion::V100, {.anchorCount = 2});
    const int err = ::open(dir.file("err").c_str(), O_WRONLY | O_CREAT, 0600),
              full = ::open("/dev/full", O_WRONLY);
    EXPECT_EQ(RunProgram({"--yes", Put("bad\xFF\xFE.zel", old)}, -1, {}, err), 0);
    EXPECT_EQ(RunProgram({"--help"}, full), 3);
    ::close(err), ::close(full);
    const Bytes errBytes = test::ReadBytes(dir.file("err"));
    EXPECT_TRUE(Contains(std::string(errBytes.begin(), errBytes.end()), "bad\xFF\xFE.bak"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    EXPECT_EQ(RunProgram({"--yes", "-j", "2", Folder("f", old)}, pipeFds[1]), 3);
    ::close(pipeFds[1]);
    ExpectStoppedAfterTheFirstFile(dir.file("f"), old, "2");

    test::Snapshot expected;
    for (char c = 'a'; c <= 'p'; ++c) {
        expected[c + std::string(".zel")] = test::ReadBytes(dir.file("bad\xFF\xFE.zel"));
        expected[c + std::string(".bak")] = old;
    }
    int runs = 0;
    for (const char* jobs : {"1", "2"}) {
        for (const std::vector<int>& closed :
             {std::vector{STDOUT_FILENO}, {STDERR_FILENO}, {1, 2}, {0, 1, 2}}) {
            const std::string folder = Folder("g" + std::to_string(++runs), old, 'p');
            EXPECT_EQ(RunProgram({"--yes", "-j", jobs, folder}, -1, closed), 3) << folder;
            EXPECT_EQ(test::SnapshotOf(folder), expected) << folder;
        }
    }
}
#endif

} // namespace
} // namespace zel::cli
