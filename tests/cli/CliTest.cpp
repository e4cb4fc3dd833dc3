// The built zelconv-cli run on real files, as a user or a script runs it.
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "usrdata/Signatures.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

std::string ProgramPath() {
    std::string path = ZELCONV_CLI_PATH;
#ifdef _WIN32
    // Under wine the build tree's path is a Unix one; its drive Z: maps the Unix root.
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path)
            if (c == '/') c = '\\';
    }
#endif
    return path;
}

// The program's output as text; on Windows its line breaks are CR LF, which becomes "\n" here, so
// that any other character 13 still shows.
std::string AsText(const Bytes& bytes) {
    std::string text(bytes.begin(), bytes.end());
#ifdef _WIN32
    std::string joined;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) joined += text[i];
    text = joined;
#endif
    return text;
}

// Runs zelconv-cli with `args` and no terminal on standard input.
Result RunCli(const test::TempDir& dir, const std::vector<std::string>& args) {
    const std::string out = dir.file("cli-stdout.txt");
    const std::string err = dir.file("cli-stderr.txt");
    std::string command = Quote(ProgramPath());
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    Result result;
#ifdef _WIN32
    command += " < NUL > " + Quote(out) + " 2> " + Quote(err);
    command = "\"" + command + "\""; // cmd /c keeps the inner quotes when the whole is quoted
    const int size = MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, wide.data(), size);
    result.status = _wsystem(wide.c_str());
#else
    command += " < /dev/null > " + Quote(out) + " 2> " + Quote(err);
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    result.out = AsText(test::ReadBytes(out));
    result.err = AsText(test::ReadBytes(err));
    std::filesystem::remove(test::PathFromUtf8(out));
    std::filesystem::remove(test::PathFromUtf8(err));
    return result;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

Bytes CurrentFile() {
    Bytes bytes(kSignature102.begin(), kSignature102.end());
    bytes.insert(bytes.end(), 100, 0x11);
    return bytes;
}

// The conversion of `source` as the workflow does it in this process: the target's bytes.
Bytes ConvertInProcess(const Bytes& source) {
    test::TempDir dir;
    ConversionState state{dir.file("in.zel"), dir.file("in.zel"), ""};
    test::WriteBytes(state.imText1, source);
    WorkingSet ws;
    test::RecordingMessages messages;
    EXPECT_EQ(RunConversion(state, ws, messages), Outcome::Converted);
    return test::ReadBytes(state.imText1);
}

TEST(Cli, ConvertsSeveralFilesInPlaceWithABackupEachAndSumsUp) {
    test::TempDir dir;
    const Bytes old100 = test::MakeOldFile(0, 3);
    const Bytes old101 = test::MakeOldFile(1, 2);
    test::WriteBytes(dir.file("一.zel"), old100);
    test::WriteBytes(dir.file("二.zel"), old101);
    test::WriteBytes(dir.file("三.zel"), CurrentFile());

    const Result r = RunCli(dir, {"--yes", dir.file("一.zel"), dir.file("二.zel"), dir.file("三.zel")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "[1/3] " + dir.file("一.zel") + "\n"));
    EXPECT_TRUE(Contains(r.out, "[3/3] " + dir.file("三.zel") + "\n"));
    EXPECT_TRUE(
        Contains(r.out, "変換 2 件、変換不要 1 件、スキップ (上書きしない) 0 件、拒否 0 件、失敗 0 件"));
    // Each message on its own lines, prefixed by its kind; never a bare character 13.
    EXPECT_TRUE(Contains(r.err, "情報: 指定したファイルは最新バージョンに変換されました。\n\n念のため"
                                "元のファイルをバックアップしました。必要がなければ消して下さい。\n" +
                                    dir.file("一.bak") + "\n"));
    EXPECT_TRUE(Contains(r.err, "情報: 最新バージョン（Ver. 1.04）形式のデータなので"));
    EXPECT_FALSE(Contains(r.err, "\r"));

    // The very bytes the workflow writes, and the untouched sources in the backups.
    EXPECT_EQ(test::ReadBytes(dir.file("一.zel")), ConvertInProcess(old100));
    EXPECT_EQ(test::ReadBytes(dir.file("二.zel")), ConvertInProcess(old101));
    EXPECT_EQ(test::ReadBytes(dir.file("一.bak")), old100);
    EXPECT_EQ(test::ReadBytes(dir.file("二.bak")), old101);
    EXPECT_EQ(test::ReadBytes(dir.file("三.zel")), CurrentFile());
    EXPECT_EQ(test::ListFolder(dir.path()),
              (std::vector<std::string>{"一.bak", "一.zel", "三.zel", "二.bak", "二.zel"}));
}

TEST(Cli, WritesTheConversionToTheGivenTarget) {
    test::TempDir dir;
    const Bytes source = test::MakeOldFile(0);
    test::WriteBytes(dir.file("src.zel"), source);
    const Result r = RunCli(dir, {"-o", dir.file("結果"), dir.file("src.zel")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(dir.file("結果.zel")), ConvertInProcess(source));
    EXPECT_EQ(test::ReadBytes(dir.file("結果.bak")), source);
    EXPECT_EQ(test::ReadBytes(dir.file("src.zel")), source);
    EXPECT_FALSE(Contains(r.err, "質問: ")); // the target did not exist
}

TEST(Cli, DecliningTheOverwriteTouchesNothing) {
    const struct {
        std::vector<std::string> options;
        std::string said;
    } cases[] = {{{"--no"}, "いいえ (--no)"}, {{}, "端末がない"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        test::TempDir dir;
        const Bytes a = test::MakeOldFile(0);
        const Bytes b = test::MakeOldFile(1);
        test::WriteBytes(dir.file("a.zel"), a);
        test::WriteBytes(dir.file("b.zel"), b);
        std::vector<std::string> args = c.options;
        args.push_back(dir.file("a.zel"));
        args.push_back(dir.file("b.zel"));
        const Result r = RunCli(dir, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(r.err, "質問: データが存在します。上書きしてもよろしいですか？"));
        EXPECT_TRUE(Contains(r.err, c.said));
        EXPECT_TRUE(Contains(r.out, "変換 0 件、変換不要 0 件、スキップ (上書きしない) 2 件"));
        EXPECT_EQ(test::ListFolder(dir.path()), (std::vector<std::string>{"a.zel", "b.zel"}));
        EXPECT_EQ(test::ReadBytes(dir.file("a.zel")), a);
        EXPECT_EQ(test::ReadBytes(dir.file("b.zel")), b);
    }
}

TEST(Cli, RefusedAndFailedFilesMakeTheRunFail) {
    test::TempDir dir;
    test::WriteBytes(dir.file("good.zel"), test::MakeOldFile(1));
    test::WriteBytes(dir.file("bad.zel"), test::MakeOldFile(1, 2, 1));
    test::WriteBytes(dir.file("foreign.zel"), Bytes(80, 'x'));
    const Result r = RunCli(dir, {"--yes", dir.file("good.zel"), dir.file("missing.zel"),
                                  dir.file("foreign.zel"), dir.file("bad.zel")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        Contains(r.out, "変換 1 件、変換不要 0 件、スキップ (上書きしない) 0 件、拒否 2 件、失敗 1 件"));
    EXPECT_TRUE(
        Contains(r.err, "警告: フォルダが見つかりませんでした\nファイル名：" + dir.file("missing.zel")));
}

TEST(Cli, CheckReportsEachFormatAndWritesNothing) {
    test::TempDir dir;
    const Bytes old100 = test::MakeOldFile(0);
    Bytes truncated = test::MakeOldFile(1, 3);
    truncated.resize(truncated.size() / 2);
    const std::vector<std::pair<std::string, Bytes>> files{{"a100.zel", old100},
                                                           {"a101.zel", test::MakeOldFile(1)},
                                                           {"a102.zel", CurrentFile()},
                                                           {"foreign.zel", Bytes(100, 'x')},
                                                           {"truncated.zel", truncated}};
    for (const auto& [leaf, bytes] : files)
        test::WriteBytes(dir.file(leaf), bytes);

    const Result good =
        RunCli(dir, {"--check", dir.file("a100.zel"), dir.file("a101.zel"), dir.file("a102.zel")});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_TRUE(Contains(good.out, dir.file("a100.zel") + ": 1.00 形式"));
    EXPECT_TRUE(Contains(good.out, dir.file("a101.zel") + ": 1.01 形式"));
    EXPECT_TRUE(Contains(good.out, dir.file("a102.zel") + ": 1.02 形式"));

    const Result bad = RunCli(dir, {"--check", dir.file("foreign.zel"), dir.file("truncated.zel"),
                                    dir.file("none.zel"), dir.file("a100.zel")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(Contains(bad.out, dir.file("foreign.zel") + ": カルトゥーバのデータではありません\n"));
    EXPECT_TRUE(Contains(bad.out, dir.file("truncated.zel") + ": データが壊れています\n"));
    EXPECT_TRUE(Contains(bad.out, dir.file("none.zel") + ": ファイルが見つかりません\n"));
    EXPECT_TRUE(Contains(bad.out, dir.file("a100.zel") + ": 1.00 形式"));

    std::vector<std::string> leaves;
    for (const auto& [leaf, bytes] : files) {
        EXPECT_EQ(test::ReadBytes(dir.file(leaf)), bytes) << leaf;
        leaves.push_back(leaf);
    }
    EXPECT_EQ(test::ListFolder(dir.path()), leaves);
}

TEST(Cli, WrongCommandLinesAreUsageErrors) {
    test::TempDir dir;
    test::WriteBytes(dir.file("a.zel"), test::MakeOldFile(0));
    const std::vector<std::vector<std::string>> cases{
        {},
        {"--yes"},
        {"--bogus", dir.file("a.zel")},
        {"-o"},
        {"-o", dir.file("t.zel"), dir.file("a.zel"), dir.file("a.zel")},
        {"--yes", "--no", dir.file("a.zel")},
        {"--check", "-o", dir.file("t.zel"), dir.file("a.zel")},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = RunCli(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(Contains(r.err, "使い方:"));
    }
    EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"a.zel"});
}

TEST(Cli, HelpAndVersion) {
    test::TempDir dir;
    const Result help = RunCli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "使い方:"));
    EXPECT_TRUE(Contains(help.out, "「情報: 」「警告: 」「質問: 」"));

    const Result version = RunCli(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(Contains(version.out, "1.00.0037"));
    EXPECT_TRUE(Contains(version.out, "旧ファイルを新しいバージョンに変換するプログラム"));
}

} // namespace
} // namespace zel
