// The built zelconv-cli run on real files, as a user or a script runs it. What a conversion does is
// the workflow's and tested there; here: arguments, answers, output, exit codes and the same bytes.
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "usrdata/Signatures.h"
#include "workflow/Workflow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace zel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Leaves = std::vector<std::string>;
using Files = std::map<std::string, Bytes>;

struct Result {
    int status = -1;
    std::string out, err;
};

#ifndef _WIN32
// One word for the shell.
std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
#endif

// The program's output as text; on Windows its CR LF line breaks become "\n", so that any other
// character 13 still shows.
std::string AsText(const Bytes& bytes) {
    std::string text(bytes.begin(), bytes.end());
#ifdef _WIN32
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
        text.erase(at, 1);
#endif
    return text;
}

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    wide.pop_back(); // the terminating zero
    return wide;
}

// A handle the child inherits: a file to write, or NUL to read.
HANDLE Inheritable(const std::string& name, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE h = CreateFileW(Wide(name).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + name + ": error " + std::to_string(GetLastError()));
    return h;
}

// Starts the program straight away (no cmd.exe in between, no quoting rules of a shell) and
// waits for it. None of the arguments holds a quote or ends in a backslash.
int RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& out,
               const std::string& err) {
    std::wstring line = L"\"" + Wide(program) + L"\"";
    for (const std::string& arg : args)
        line += L" \"" + Wide(arg) + L"\"";
    HANDLE in = Inheritable("NUL", false), o = Inheritable(out, true), e = Inheritable(err, true);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = o;
    si.hStdError = e;
    PROCESS_INFORMATION pi{};
    DWORD lastError = 0;
    // A start can fail for a moment while wine is still busy with its own start-up; try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::wstring mutableLine = line;
        if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                           &pi))
            break;
        lastError = GetLastError();
        Sleep(200);
    }
    CloseHandle(in);
    CloseHandle(o);
    CloseHandle(e);
    if (pi.hProcess == nullptr)
        throw std::runtime_error("cannot start " + program + ": error " + std::to_string(lastError));
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}
#endif

// Runs zelconv-cli with `args` and no terminal on standard input.
Result RunCli(const std::vector<std::string>& args) {
    const test::TempDir io; // away from the folder under test
    std::string program = ZELCONV_CLI_PATH;
#ifdef _WIN32
    // Under wine the build tree's path is a Unix one; its drive Z: maps the Unix root.
    if (program[0] == '/') program = "Z:" + program;
    for (char& c : program)
        if (c == '/') c = '\\';
    const int status = RunProcess(program, args, io.file("out"), io.file("err"));
#else
    std::string command = Quote(program);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command += " > " + Quote(io.file("out")) + " 2> " + Quote(io.file("err")) + " < /dev/null";
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return {status, AsText(test::ReadBytes(io.file("out"))), AsText(test::ReadBytes(io.file("err")))};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Writes `files` into the folder and returns them.
Files Put(const test::TempDir& dir, Files files) {
    for (const auto& [leaf, bytes] : files)
        test::WriteBytes(dir.file(leaf), bytes);
    return files;
}

// Every file of the folder with its bytes.
Files Folder(const test::TempDir& dir) {
    Files files;
    for (const std::string& leaf : test::ListFolder(dir.path()))
        files[leaf] = test::ReadBytes(dir.file(leaf));
    return files;
}

Bytes CurrentFile() {
    Bytes bytes(kSignature102.begin(), kSignature102.end());
    bytes.insert(bytes.end(), 100, 0x11);
    return bytes;
}

// In place with --yes: a line per file, a backup per converted file, the summary, and exit code 1
// when a file was refused or failed.
TEST(Cli, ConvertsSeveralFilesInPlaceWithABackupEachAndSumsUp) {
    test::TempDir dir;
    const Files files = Put(dir, {{"一.zel", test::MakeOldFile(0, 3)},
                                  {"二.zel", test::MakeOldFile(1, 2)},
                                  {"三.zel", CurrentFile()},
                                  {"bad.zel", test::MakeOldFile(1, 2, 1)},
                                  {"foreign.zel", Bytes(80, 'x')}});
    std::vector<std::string> args{"--yes"};
    for (const char* stem : {"一", "二", "三", "missing", "foreign", "bad"})
        args.push_back(dir.file(stem + std::string(".zel")));

    const Result r = RunCli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "[1/6] " + dir.file("一.zel") + "\n"));
    EXPECT_TRUE(Contains(r.out, "[6/6] " + dir.file("bad.zel") + "\n"));
    EXPECT_TRUE(
        Contains(r.out, "変換 2 件、変換不要 1 件、スキップ (上書きしない) 0 件、拒否 2 件、失敗 1 件"));
    // Each message on its own lines, prefixed by its kind; never a bare character 13.
    EXPECT_TRUE(Contains(r.err, "情報: 指定したファイルは最新バージョンに変換されました。\n\n念のため"
                                "元のファイルをバックアップしました。必要がなければ消して下さい。\n" +
                                    dir.file("一.bak") + "\n"));
    EXPECT_TRUE(
        Contains(r.err, "警告: フォルダが見つかりませんでした\nファイル名：" + dir.file("missing.zel")));
    EXPECT_FALSE(Contains(r.err, "\r"));
    EXPECT_EQ(test::ListFolder(dir.path()), (Leaves{"bad.bak", "bad.zel", "foreign.zel", "一.bak", "一.zel",
                                                    "三.zel", "二.bak", "二.zel"}));
    for (const std::string stem : {"一", "二", "bad"})
        EXPECT_EQ(test::ReadBytes(dir.file(stem + ".bak")), files.at(stem + ".zel")) << stem;
    EXPECT_NE(test::ReadBytes(dir.file("一.zel")), files.at("一.zel"));
}

TEST(Cli, OptionOWritesTheSameBytesAsTheWindowWorkflow) {
    const Bytes source = test::MakeOldFile(0);
    test::TempDir cli, window;
    Put(cli, {{"src.zel", source}});
    Put(window, {{"src.zel", source}});
    const Result r = RunCli({"-o", cli.file("結果"), cli.file("src.zel")});
    EXPECT_EQ(r.status, 0) << r.err;

    ConversionState state{window.file("src.zel"), window.file("結果"), ""};
    WorkingSet ws;
    test::RecordingMessages messages;
    ASSERT_EQ(RunConversion(state, ws, messages), Outcome::Converted);
    EXPECT_EQ(Folder(cli), Folder(window));
    EXPECT_EQ(RunCli({cli.file("結果.zel")}).status, 0); // already current: no failure
}

TEST(Cli, DecliningTheOverwriteTouchesNothing) {
    for (const std::string option : {"--no", ""}) {
        SCOPED_TRACE(option);
        test::TempDir dir;
        const Files files = Put(dir, {{"a.zel", test::MakeOldFile(0)}, {"b.zel", test::MakeOldFile(1)}});
        std::vector<std::string> args{dir.file("a.zel"), dir.file("b.zel")};
        if (!option.empty()) args.insert(args.begin(), option);
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(r.err, "質問: データが存在します。上書きしてもよろしいですか？"));
        EXPECT_TRUE(Contains(r.err, option.empty() ? "端末がない" : "いいえ (--no)"));
        EXPECT_TRUE(Contains(r.out, "変換 0 件、変換不要 0 件、スキップ (上書きしない) 2 件"));
        EXPECT_EQ(Folder(dir), files);
    }
}

TEST(Cli, CheckReportsEachFormatAndWritesNothing) {
    test::TempDir dir;
    Bytes truncated = test::MakeOldFile(1, 3);
    truncated.resize(truncated.size() / 2);
    const struct {
        const char* leaf;
        Bytes bytes; // none: no such file
        const char* verdict;
    } cases[] = {{"foreign.zel", Bytes(100, 'x'), "カルトゥーバのデータではありません\n"},
                 {"truncated.zel", truncated, "データが壊れています\n"},
                 {"none.zel", {}, "ファイルが見つかりません\n"},
                 {"a100.zel", test::MakeOldFile(0), "1.00 形式"},
                 {"a101.zel", test::MakeOldFile(1), "1.01 形式"},
                 {"a102.zel", CurrentFile(), "1.02 形式"}};
    std::vector<std::string> args{"--check"};
    for (const auto& c : cases) {
        if (!c.bytes.empty()) test::WriteBytes(dir.file(c.leaf), c.bytes);
        args.push_back(dir.file(c.leaf));
    }
    const Files before = Folder(dir);
    const Result r = RunCli(args);
    EXPECT_EQ(r.status, 1);
    for (const auto& c : cases)
        EXPECT_TRUE(Contains(r.out, dir.file(c.leaf) + ": " + c.verdict)) << c.leaf;
    EXPECT_EQ(RunCli({"--check", dir.file("a100.zel"), dir.file("a102.zel")}).status, 0);
    EXPECT_EQ(Folder(dir), before);
}

TEST(Cli, HelpVersionAndWrongCommandLines) {
    test::TempDir dir;
    const std::string a = dir.file("a.zel"), t = dir.file("t.zel");
    test::WriteBytes(a, test::MakeOldFile(0));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--help"}, 0, "「情報: 」「警告: 」「質問: 」", ""},
        {{"--version"}, 0, "1.00.0037\n旧ファイルを新しいバージョンに変換するプログラム", ""},
        {{}, 2, "", "使い方:"},
        {{"--yes"}, 2, "", "使い方:"},
        {{"--bogus", a}, 2, "", "使い方:"},
        {{"-o"}, 2, "", "使い方:"},
        {{"-o", t, a, a}, 2, "", "使い方:"},
        {{"--yes", "--no", a}, 2, "", "使い方:"},
        {{"--check", "-o", t, a}, 2, "", "使い方:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(Contains(r.out, c.out));
        EXPECT_TRUE(Contains(r.err, c.err));
    }
    EXPECT_EQ(test::ListFolder(dir.path()), Leaves{"a.zel"});
}

} // namespace
} // namespace zel
