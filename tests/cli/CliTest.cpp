// The command line in-process through a recording console, on real files, and once the built program:
// arguments, answers, output, exit codes (what a conversion does is tested with the workflow).
#include "cli/CliApp.h"
#include "platform/Platform.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zel::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

struct FakeConsole : Console {
    std::string out, err;
    bool terminal = false, outFails = false;
    std::deque<std::string> lines;
    bool Write(Stream stream, const std::string& text) override {
        if (stream == Stream::Out && outFails) return false;
        (stream == Stream::Out ? out : err) += text;
        return true;
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
    int Run(std::vector<std::string> args) { return RunCli(args, console); }
    std::string Put(const std::string& leaf, const Bytes& bytes) {
        test::WriteBytes(dir.file(leaf), bytes);
        return dir.file(leaf);
    }
};

// In place with --yes: a line per file, a backup per converted file, the summary, and exit code 1
// when a file was refused or failed. "In place" writes the very file named, "SITE.ZEL" too; a folder
// stands for its ".zel" files in Explorer's order, and with -j 2 the lines still come in that order.
TEST_F(Cli, ConvertsFilesAndFoldersInPlaceInListOrder) {
    const Bytes a = test::SampleFile(FileVersion::V100, {.anchorCount = 3}),
                b = test::SampleFile(FileVersion::V101),
                bad = test::SampleFile(FileVersion::V101, {.failingAnchor = 1});
    const std::vector<std::string> args{"--yes",
                                        Put("一.zel", a),
                                        Put("二.zel", b),
                                        Put("三.zel", test::SampleFile(FileVersion::V102)),
                                        dir.file("missing.zel"),
                                        Put("bad.zel", bad),
                                        Put("SITE.ZEL", a)};
    Put("SITE.ZEL.zel", Bytes(10, 'e'));
    EXPECT_EQ(Run(args), 1);
    EXPECT_TRUE(
        Contains(console.out,
                 "合計 6 件: 変換 3 件、変換不要 1 件、スキップ (上書きしない) 0 件、拒否 1 件、失敗 1 件"));
    // Each message on its own lines, prefixed by its kind; the question names its file.
    EXPECT_TRUE(Contains(console.err,
                         "質問: データが存在します。上書きしてもよろしいですか？ (" + dir.file("一.zel") +
                             ") はい (--yes)\n情報: 指定したファイルは最新バージョンに変換されました。\n\n"
                             "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n" +
                             dir.file("一.bak") + "\n"));
    EXPECT_FALSE(Contains(console.err, "\r"));
    const auto files = test::SnapshotOf(dir.path());
    EXPECT_EQ(files.size(), 10u);
    EXPECT_TRUE(Contains(console.err,
                         "警告: インデックスが有効範囲にありません。\n1 番目のアンカー：段階数が 11 あり"));
    // What each kind of file becomes is the batch's (BatchTest); here only that "SITE.ZEL" itself is written.
    EXPECT_EQ(files.at("SITE.ZEL"), files.at("一.zel"));

    fs::create_directories(dir.path() / "f" / "sub");
    auto in = [this](std::string leaf) {
        std::replace(leaf.begin(), leaf.end(), '/', platform::kSeparator);
        return dir.file(leaf);
    };
    for (const char* leaf : {"f/b10.zel", "f/sub/a.ZEL", "f/b9.zel", "f/b1.txt"})
        Put(leaf, b);
    console = FakeConsole{};
    EXPECT_EQ(Run({"-j", "2", "--yes", dir.file("f"), dir.file("f/b9.zel")}), 0)
        << console.err; // b9.zel named twice
    EXPECT_TRUE(Contains(console.out, "[1/3] " + in("f/b9.zel") + "\n[2/3] " + in("f/b10.zel") + "\n[3/3] " +
                                          in("f/sub/a.ZEL") + "\n"))
        << console.out;

    // -o follows the name rule of the window, and says so before the file is written.
    console = FakeConsole{};
    EXPECT_EQ(Run({"-o", dir.file("新"), dir.file("一.bak")}), 0) << console.err;
    EXPECT_TRUE(Contains(console.err, "情報: -o の「" + dir.file("新") + "」ではなく、「" +
                                          dir.file("新.zel") + "」に書き込みます"));
    EXPECT_EQ(test::ReadBytes(dir.file("新.bak")), a);
}

TEST_F(Cli, TheOverwriteQuestionIsAnsweredAsTheCommandLineSays) {
    // Options, a terminal, the lines typed, what is shown after the question, converted.
    const char* noTerminal = "いいえ (端末がないため確認できません。上書きするには --yes を付けてください)";
    const std::tuple<std::vector<std::string>, bool, std::deque<std::string>, const char*, bool> cases[] = {
        {{"--no"}, false, {}, "いいえ (--no)", false},
        {{}, false, {}, noTerminal, false},
        {{}, true, {"maybe", " Y "}, "[Y/n] y (はい) か n (いいえ) で答えてください。", true},
        {{}, true, {""}, "[Y/n] ", true}, // Enter answers Yes
        {{}, true, {}, "[Y/n] \nいいえ (入力が終わりました)", false},
    };
    const Bytes old = test::SampleFile(FileVersion::V101);
    for (const auto& [options, terminal, lines, shown, converted] : cases) {
        const std::string name = Put("a.zel", old);
        console = FakeConsole{};
        console.terminal = terminal;
        console.lines = lines;
        std::vector<std::string> args = options;
        args.push_back(name);
        EXPECT_EQ(Run(args), converted ? 0 : 1) << shown;
        EXPECT_TRUE(Contains(console.err, "上書きしてもよろしいですか？ (" + name + ") " + shown))
            << console.err;
        EXPECT_EQ(test::ReadBytes(name) != old, converted) << shown;
    }
}

TEST_F(Cli, CheckReportsEachFileFromOneReading) {
    const Bytes current = test::SampleFile(FileVersion::V102);
    const std::pair<std::string, const char*> cases[] = {
        {Put("foreign.zel", Bytes(100, 'x')), "カルトゥーバのデータではありません\n"},
        {Put("cut102.zel", Bytes(current.begin(), current.end() - 1)), "データが壊れています\n"},
        {dir.file("none.zel"), "ファイルが見つかりません\n"},
        {Put("a100.zel", test::SampleFile(FileVersion::V100)), "1.00 形式 (変換が必要です)\n"},
        {Put("a101.zel", test::SampleFile(FileVersion::V101)), "1.01 形式 (変換が必要です)\n"},
        {Put("a102.zel", current), "1.02 形式 (変換の必要はありません)\n"},
        {Put("cut-list.zel", test::ManyEmptyStrings(FileVersion::V102, 1000000)), "データが壊れています\n"}};
    std::vector<std::string> args{"--check"};
    for (const auto& c : cases)
        args.push_back(c.first);
    const auto before = test::SnapshotOf(dir.path());
    EXPECT_EQ(Run(args), 1);
    for (const auto& [name, verdict] : cases)
        EXPECT_TRUE(Contains(console.out, name + ": " + verdict)) << name;
    EXPECT_EQ(Run({"--check", dir.file("a100.zel"), dir.file("a101.zel"), dir.file("a102.zel")}), 0);
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
        {{"--help"}, 0, "「情報: 」「警告: 」「質問: 」", ""},
        {{"-j", "0", a}, 2, "", "-j には 1 から 9999 までの数を指定してください: 0"},
        {{"--check", "--", "--help", "-"},
         1,
         "--help: ファイルが見つかりません\n-: ファイルが見つかりません",
         ""},
        {{"--version"}, 0, "1.00.0037\n旧ファイルを新しいバージョンに変換するプログラム", ""},
        {{}, 2, "", "使い方:"},
        {{"--bogus", a}, 2, "", "不明なオプションです: --bogus"},
        {{"-o", dir.file("out") + "/", a}, 2, "", "フォルダではなく"},
        {{"-o", dir.file("."), a}, 2, "", "」はフォルダです。フォルダの中に作るファイルの名前"},
#ifdef _WIN32
        {{"-o", dir.file("nul"), a}, 2, "", "」はファイルではなくデバイスなどを指しています。"},
        {{"-o", dir.file("COM1.zel"), a}, 2, "", "」はファイルではなくデバイスなどを指しています。"},
#else
        {{"-o", "/dev/null", a}, 2, "", "-o の「/dev/null」はファイルではなくデバイスなどを指しています。"},
#endif
        {{"-o", t, a, a}, 2, "", "一つだけ"},
        {{"--yes", "--no", a}, 2, "", "同時に"},
        {{"-o", t, "-o", t, a}, 2, "", "-o は一度だけ"},
        {{a, "-o"}, 2, "", "-o の後に"},
        {{"-o", t}, 2, "", "ファイルを指定してください。"},
        {{"--check", "-o", t, a}, 2, "", "一緒には使えません"},
        {{"--help"}, 3, "", "標準出力に書き込めませんでした", true},
        {{"--check", t}, 1, "", "標準出力に書き込めませんでした", true},
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
// with its own bytes, output that cannot be written fails the run, a closed pipe ends it quietly
// even when it was started with SIGPIPE ignored.
TEST_F(Cli, TheRealProgramOnItsStandardStreams) {
    const std::string program = ZELCONV_CLI_PATH,
                      odd = Put("bad\xFF\xFE.zel", test::SampleFile(FileVersion::V101));
    auto run = [&](const std::string& arguments) {
        const int raw = std::system((program + " " + arguments).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    };
    EXPECT_EQ(run("--yes '" + odd + "' 2> '" + dir.file("err") + "'"), 0);
    const Bytes err = test::ReadBytes(dir.file("err"));
    EXPECT_TRUE(Contains(std::string(err.begin(), err.end()), "bad\xFF\xFE.bak"));
    EXPECT_EQ(run("--help > /dev/full 2> /dev/null"), 3);
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
