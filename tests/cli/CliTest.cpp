// The command line run in-process through a console that records its output and answers its
// questions, on real files; and once the built program itself. What a conversion does is the
// workflow's and tested there; here: arguments, answers, output, exit codes.
#include "cli/CliApp.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Files = test::Snapshot;

struct FakeConsole : Console {
    std::string out, err;
    bool terminal = false;
    std::deque<std::string> lines;
    bool outFails = false;
    bool Write(Stream stream, const std::string& text) override {
        if (stream == Stream::Out && outFails) return false;
        (stream == Stream::Out ? out : err) += text;
        return true;
    }
    bool InputIsTerminal() override { return terminal; }
    std::optional<std::string> ReadLine() override {
        if (lines.empty()) return std::nullopt;
        std::string line = lines.front();
        lines.pop_front();
        return line;
    }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Cli : ::testing::Test {
    test::TempDir dir;
    FakeConsole console;
    int Run(std::vector<std::string> args) { return RunCli(args, console); }
    std::string Put(const std::string& leaf, const Bytes& bytes) {
        test::WriteBytes(dir.file(leaf), bytes);
        return dir.file(leaf);
    }
};

Bytes CurrentFile() {
    Bytes bytes(kSignature102.begin(), kSignature102.end());
    bytes.insert(bytes.end(), 100, 0x11);
    return bytes;
}

// In place with --yes: a line per file, a backup per converted file, the summary, and exit code 1
// when a file was refused or failed.
TEST_F(Cli, ConvertsSeveralFilesInPlaceWithABackupEachAndSumsUp) {
    const Bytes a = test::SampleFile(FileVersion::V100, {.anchorCount = 3}),
                b = test::SampleFile(FileVersion::V101),
                bad = test::SampleFile(FileVersion::V101, {.failingAnchor = 1});
    std::vector<std::string> args{"--yes",
                                  Put("一.zel", a),
                                  Put("二.zel", b),
                                  Put("三.zel", CurrentFile()),
                                  dir.file("missing.zel"),
                                  Put("foreign.zel", Bytes(80, 'x')),
                                  Put("bad.zel", bad)};
    EXPECT_EQ(Run(args), kExitFailed);
    EXPECT_TRUE(Contains(console.out, "[1/6] " + dir.file("一.zel") + "\n"));
    EXPECT_TRUE(Contains(console.out, "[6/6] " + dir.file("bad.zel") + "\n"));
    EXPECT_TRUE(Contains(console.out,
                         "変換 2 件、変換不要 1 件、スキップ (上書きしない) 0 件、拒否 2 件、失敗 1 件"));
    // Each message on its own lines, prefixed by its kind; the question names its file.
    EXPECT_TRUE(Contains(console.err,
                         "質問: データが存在します。上書きしてもよろしいですか？ (" + dir.file("一.zel") +
                             ") はい (--yes)\n情報: 指定したファイルは最新バージョンに変換されました。\n\n"
                             "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n" +
                             dir.file("一.bak") + "\n"));
    EXPECT_TRUE(Contains(console.err,
                         "警告: フォルダが見つかりませんでした\nファイル名：" + dir.file("missing.zel")));
    EXPECT_FALSE(Contains(console.err, "\r"));
    const Files files = test::SnapshotOf(dir.path());
    EXPECT_EQ(files.size(), 8u);
    EXPECT_TRUE(files.at("一.bak") == a && files.at("二.bak") == b && files.at("bad.bak") == bad);
}

// "In place" never writes another file than the one named: a name that the name rule would turn
// into another name is refused, whether that other file exists or not.
TEST_F(Cli, InPlaceRefusesNamesThatTheNameRuleWouldChange) {
    const Bytes old = test::SampleFile(FileVersion::V100);
    const Files before{{"SITE.ZEL", old}, {"SITE.ZEL.zel", Bytes(10, 'e')}, {"P", old}};
    for (const auto& [leaf, bytes] : before)
        Put(leaf, bytes);
    EXPECT_EQ(Run({"--yes", dir.file("SITE.ZEL"), dir.file("P")}), kExitFailed);
    EXPECT_TRUE(Contains(console.err, "警告: 「" + dir.file("SITE.ZEL") +
                                          "」をその場で変換すると、別のファイル「" +
                                          dir.file("SITE.ZEL.zel") +
                                          "」に書き込むことになるため、変換しません。\n"
                                          "変換後のファイル名は -o で指定してください。"));
    EXPECT_TRUE(Contains(console.err, "別のファイル「" + dir.file("P.zel") + "」"));
    EXPECT_EQ(test::SnapshotOf(dir.path()), before);
    // With -o the user names the other file.
    EXPECT_EQ(Run({"--yes", "-o", dir.file("P"), dir.file("P")}), kExitOk);
    EXPECT_TRUE(test::SnapshotOf(dir.path()).count("P.zel"));
}

TEST_F(Cli, TheOverwriteQuestionIsAnsweredAsTheCommandLineSays) {
    struct Case {
        std::vector<std::string> options;
        bool terminal;
        std::deque<std::string> lines;
        const char* shown;
        bool converted;
    };
    const Case cases[] = {
        {{"--no"}, false, {}, "いいえ (--no)", false},
        {{},
         false,
         {},
         "いいえ (端末がないため確認できません。上書きするには --yes を付けてください)",
         false},
        {{}, true, {"maybe", " Y "}, "[Y/n] y (はい) か n (いいえ) で答えてください。", true},
        {{}, true, {""}, "[Y/n] ", true}, // Enter answers Yes
        {{}, true, {"いいえ"}, "[Y/n] ", false},
        {{}, true, {}, "[Y/n] \nいいえ (入力が終わりました)", false},
    };
    for (const Case& c : cases) {
        test::TempDir folder;
        const Bytes old = test::SampleFile(FileVersion::V101);
        test::WriteBytes(folder.file("a.zel"), old);
        console = FakeConsole{};
        console.terminal = c.terminal;
        console.lines = c.lines;
        std::vector<std::string> args = c.options;
        args.push_back(folder.file("a.zel"));
        EXPECT_EQ(Run(args), c.converted ? kExitOk : kExitFailed) << c.shown;
        EXPECT_TRUE(
            Contains(console.err, "上書きしてもよろしいですか？ (" + folder.file("a.zel") + ") " + c.shown))
            << console.err;
        EXPECT_EQ(test::ReadBytes(folder.file("a.zel")) != old, c.converted) << c.shown;
    }
}

TEST_F(Cli, CheckReportsEachFileFromOneReading) {
    Bytes current = test::SampleFile(FileVersion::V102);
    const struct {
        std::string name;
        const char* verdict;
    } cases[] = {{Put("foreign.zel", Bytes(100, 'x')), "カルトゥーバのデータではありません\n"},
                 {Put("cut102.zel", Bytes(current.begin(), current.end() - 1)), "データが壊れています\n"},
                 {dir.file("none.zel"), "ファイルが見つかりません\n"},
                 {Put("a100.zel", test::SampleFile(FileVersion::V100)), "1.00 形式 (変換が必要です)\n"},
                 {Put("a101.zel", test::SampleFile(FileVersion::V101)), "1.01 形式 (変換が必要です)\n"},
                 {Put("a102.zel", current), "1.02 形式 (変換の必要はありません)\n"},
                 {Put("huge.zel", test::ManyEmptyStrings(FileVersion::V102, 1000000)),
                  "データが大きすぎて読み込めません"}};
    std::vector<std::string> args{"--check"};
    for (const auto& c : cases)
        args.push_back(c.name);
    const Files before = test::SnapshotOf(dir.path());
    EXPECT_EQ(Run(args), kExitFailed);
    for (const auto& c : cases)
        EXPECT_TRUE(Contains(console.out, c.name + ": " + c.verdict)) << c.name;
    EXPECT_EQ(Run({"--check", dir.file("a100.zel"), dir.file("a102.zel")}), kExitOk);
    EXPECT_EQ(test::SnapshotOf(dir.path()), before);
}

TEST_F(Cli, HelpVersionWrongCommandLinesAndOutputThatCannotBeWritten) {
    const std::string a = Put("a.zel", test::SampleFile(FileVersion::V100)), t = dir.file("t.zel");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
        bool outFails = false;
    } cases[] = {
        {{"--help"}, kExitOk, "「情報: 」「警告: 」「質問: 」", ""},
        {{"--version"}, kExitOk, "1.00.0037\n旧ファイルを新しいバージョンに変換するプログラム", ""},
        {{}, kExitUsage, "", "使い方:"},
        {{"--yes"}, kExitUsage, "", "ファイルを指定してください。"},
        {{"--bogus", a}, kExitUsage, "", "不明なオプションです: --bogus"},
        {{"-o"}, kExitUsage, "", "使い方:"},
        {{"-o", dir.file("out") + "/", a}, kExitUsage, "", "フォルダではなく"},
        {{"-o", t, a, a}, kExitUsage, "", "一つだけ"},
        {{"--yes", "--no", a}, kExitUsage, "", "同時に"},
        {{"--check", "-o", t, a}, kExitUsage, "", "一緒には使えません"},
        {{"--help"}, kExitOutput, "", "標準出力に書き込めませんでした", true},
        {{"--check", a}, kExitOutput, "", "標準出力に書き込めませんでした", true},
    };
    for (const auto& c : cases) {
        console = FakeConsole{};
        console.outFails = c.outFails;
        EXPECT_EQ(Run(c.args), c.status) << ::testing::PrintToString(c.args);
        EXPECT_TRUE(Contains(console.out, c.out) && Contains(console.err, c.err))
            << ::testing::PrintToString(c.args);
    }
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"a.zel"});
}

#ifndef _WIN32
// The built program on a real terminal's streams: a name that is not UTF-8 is converted and shown
// with its own bytes, output that cannot be written fails the run, a closed pipe ends it quietly.
TEST_F(Cli, TheRealProgramOnItsStandardStreams) {
    const std::string program = ZELCONV_CLI_PATH;
    const std::string odd = Put("bad\xFF\xFE.zel", test::SampleFile(FileVersion::V101));
    auto run = [&](const std::string& arguments) {
        const int raw = std::system((program + " " + arguments).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    };
    const std::string err = dir.file("err");
    EXPECT_EQ(run("--yes '" + odd + "' 2> '" + err + "'"), 0);
    const Bytes shown = test::ReadBytes(err);
    EXPECT_TRUE(Contains(std::string(shown.begin(), shown.end()), "bad\xFF\xFE.bak"));
    EXPECT_EQ(run("--help > /dev/full 2> /dev/null"), 3);
    EXPECT_EQ(run("--check '" + odd + "' > /dev/full 2> /dev/null"), 3);
    EXPECT_EQ(run("--bogus 2> /dev/null"), 2);
    // Started with SIGPIPE ignored and its output a pipe that nobody reads any more.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGPIPE, SIG_IGN);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execl(program.c_str(), program.c_str(), "--help", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
}
#endif

} // namespace
} // namespace zel::cli
