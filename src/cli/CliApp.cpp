#include "cli/CliApp.h"

#include "platform/Platform.h"
#include "workflow/ProgramInfo.h"
#include "workflow/Workflow.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace zel::cli {

namespace {

constexpr const char* kUsage =
    "使い方:\n"
    "  zelconv-cli [--yes|--no] ファイル...\n"
    "      各ファイルをその場で最新形式 (1.02) に変換します。\n"
    "      元のファイルは「名前.bak」にバックアップします (すでにあるときは作りません)。\n"
    "      名前が「.zel」で終わらないファイル (「SITE.ZEL」など) は、別の名前に書き込むことに\n"
    "      なるため変換しません。-o で変換後のファイル名を指定してください。\n"
    "  zelconv-cli [--yes|--no] -o 変換後のファイル 変換するファイル\n"
    "      変換するファイルを変換して、変換後のファイルに書き込みます。\n"
    "  zelconv-cli --check ファイル...\n"
    "      各ファイルの形式 (1.00, 1.01, 1.02) を調べて表示します。何も書き込みません。\n"
    "\n"
    "オプション:\n"
    "  --yes       変換後のファイルが存在するとき、確認せずに上書きします。\n"
    "  --no        変換後のファイルが存在するとき、上書きせずにそのファイルを飛ばします。\n"
    "              どちらもないときは端末で確認します (Enter で「はい」)。\n"
    "              端末がないときは「いいえ」として飛ばします。\n"
    "  -o ファイル 変換後のファイル名 (変換するファイルは一つだけ)。名前が「.zel」で終わらない\n"
    "              ときは、ウィンドウと同じ規則で「.zel」で終わる名前にして書き込みます。\n"
    "  --check     形式を調べるだけにします。\n"
    "  --help      この説明を表示します。\n"
    "  --version   バージョンを表示します。\n"
    "\n"
    "メッセージは標準エラー出力に、種類を表す「情報: 」「警告: 」「質問: 」を付けて表示します。\n"
    "\n"
    "終了コード:\n"
    "  0  すべてのファイルを変換した、または変換の必要がなかった\n"
    "  1  拒否された、飛ばした、または失敗したファイルがある\n"
    "  2  コマンドラインの誤り\n"
    "  3  標準出力または標準エラー出力に書き込めなかった\n"
    "  1 と 3 の両方に当たるときは 1 になります。\n";

constexpr const char* kInfoPrefix = "情報: ";
constexpr const char* kWarnPrefix = "警告: ";
constexpr const char* kAskPrefix = "質問: ";

enum class Answer { Ask, Yes, No };

struct Options {
    Answer answer = Answer::Ask;
    bool check = false;
    std::optional<std::string> target;
    std::vector<std::string> files;
};

// Lines inside a message are joined by character 13; the terminal wants line breaks.
std::string WithLineBreaks(std::string text) {
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The console as the program uses it: remembers a failed write and tells of it on standard error
// while that can still be written.
class Output {
public:
    explicit Output(Console& console) : console_(console) {}
    void Out(const std::string& text) { Put(Console::Stream::Out, text); }
    void Err(const std::string& text) { Put(Console::Stream::Err, text); }
    bool failed() const { return failed_; }
    Console& console() { return console_; }

private:
    void Put(Console::Stream stream, const std::string& text) {
        if (console_.Write(stream, text)) return;
        if (!failed_ && stream == Console::Stream::Out)
            console_.Write(Console::Stream::Err, "zelconv-cli: 標準出力に書き込めませんでした。\n");
        failed_ = true;
    }
    Console& console_;
    bool failed_ = false;
};

// Shows the converter's messages on standard error, each prefixed by its kind, and answers the
// overwrite question as the command line says, naming the file it asks about.
class TerminalMessages : public Messages {
public:
    TerminalMessages(Output& output, Answer answer) : output_(output), answer_(answer) {}

    // The file that a question is about: the settled target name.
    void SetTarget(const std::string& name) { target_ = name; }

    void Inform(const std::string& text) override { Show(kInfoPrefix, text); }
    void Warn(const std::string& text) override { Show(kWarnPrefix, text); }

    bool AskYesNo(const std::string& text) override {
        const std::string question = kAskPrefix + WithLineBreaks(text) + " (" + target_ + ")";
        switch (answer_) {
        case Answer::Yes:
            output_.Err(question + " はい (--yes)\n");
            return true;
        case Answer::No:
            output_.Err(question + " いいえ (--no)\n");
            return false;
        case Answer::Ask:
            break;
        }
        Console& console = output_.console();
        if (!console.InputIsTerminal()) {
            output_.Err(question +
                        " いいえ (端末がないため確認できません。上書きするには --yes を付けてください)\n");
            return false;
        }
        for (;;) {
            output_.Err(question + " [Y/n] ");
            const std::optional<std::string> line = console.ReadLine();
            if (!line) {
                output_.Err("\nいいえ (入力が終わりました)\n");
                return false;
            }
            const std::string reply = Lower(Trim(*line));
            if (reply.empty() || reply == "y" || reply == "yes" || reply == "はい") return true;
            if (reply == "n" || reply == "no" || reply == "いいえ") return false;
            output_.Err("y (はい) か n (いいえ) で答えてください。\n");
        }
    }

private:
    void Show(const char* prefix, const std::string& text) {
        output_.Err(prefix + WithLineBreaks(text) + "\n");
    }
    Output& output_;
    Answer answer_;
    std::string target_;
};

// What the command line asked for, or how it ended already.
enum class Parsed { Run, Done, Wrong };

void UsageError(Output& output, const std::string& problem) {
    output.Err("zelconv-cli: " + problem + "\n\n" + kUsage);
}

Parsed Parse(const std::vector<std::string>& args, Options& options, Output& output) {
    bool answerGiven = false;
    bool onlyFiles = false;
    auto wrong = [&output](const std::string& problem) {
        UsageError(output, problem);
        return Parsed::Wrong;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            output.Out(kUsage);
            return Parsed::Done;
        } else if (arg == "--version") {
            output.Out(std::string("zelconv-cli ") + ZELCONV_VERSION_TEXT + "\n" + ZELCONV_DESCRIPTION +
                       "\n");
            return Parsed::Done;
        } else if (arg == "--yes" || arg == "--no") {
            const Answer answer = arg == "--yes" ? Answer::Yes : Answer::No;
            if (answerGiven && options.answer != answer)
                return wrong("--yes と --no は同時に指定できません。");
            answerGiven = true;
            options.answer = answer;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "-o") {
            if (options.target) return wrong("-o は一度だけ指定できます。");
            if (i + 1 >= args.size()) return wrong("-o の後に変換後のファイル名を指定してください。");
            options.target = args[++i];
            if (options.target->empty() || platform::IsSeparator(options.target->back()))
                return wrong("-o にはフォルダではなく、変換後のファイル名を指定してください: " +
                             *options.target);
        } else {
            return wrong("不明なオプションです: " + arg);
        }
    }
    if (options.files.empty()) return wrong("ファイルを指定してください。");
    if (options.check && (options.target || answerGiven))
        return wrong("--check は -o、--yes、--no と一緒には使えません。");
    if (options.target && options.files.size() != 1)
        return wrong("-o を使うときは、変換するファイルを一つだけ指定してください。");
    return Parsed::Run;
}

// --check: what each file is, from one reading of it; nothing written.
int RunCheck(const std::vector<std::string>& files, Output& output) {
    bool allData = true;
    for (const std::string& name : files) {
        const FileCheck check = CheckUsrData(name);
        std::string verdict;
        switch (check) {
        case FileCheck::Format100:
            verdict = "1.00 形式 (変換が必要です)";
            break;
        case FileCheck::Format101:
            verdict = "1.01 形式 (変換が必要です)";
            break;
        case FileCheck::Format102:
            verdict = "1.02 形式 (変換の必要はありません)";
            break;
        case FileCheck::Missing:
            verdict = "ファイルが見つかりません";
            break;
        case FileCheck::NotData:
            verdict = "カルトゥーバのデータではありません";
            break;
        case FileCheck::Damaged:
            verdict = "データが壊れています";
            break;
        case FileCheck::TooLarge:
            verdict = "データが大きすぎて読み込めません (メモリが不足しています)";
            break;
        }
        if (check != FileCheck::Format100 && check != FileCheck::Format101 && check != FileCheck::Format102)
            allData = false;
        output.Out(name + ": " + verdict + "\n");
    }
    return allData ? kExitOk : kExitFailed;
}

struct Tally {
    int converted = 0;
    int current = 0;
    int declined = 0;
    int refused = 0;
    int failed = 0;
};

// Why the name given with -o cannot take the converted file, or nothing: a folder, a device, a FIFO
// or a circle of links (on Windows also the names of devices, such as NUL or COM1.zel).
std::optional<std::string> UnusableTarget(const std::string& name) {
    std::string what;
    switch (platform::KindOfName(name)) {
    case platform::NameKind::Folder:
        what = "フォルダです。フォルダの中に作るファイルの名前 (「" + name +
               std::string(1, platform::kSeparator) + "現場.zel」など) を指定してください。";
        break;
    case platform::NameKind::Special:
        what = "ファイルではなくデバイスなどを指しています。変換後のファイル名 (「現場_新.zel」など) "
               "を指定してください。";
        break;
    case platform::NameKind::LinkLoop:
        what = "循環するシンボリックリンクです。変換後のファイル名を指定してください。";
        break;
    case platform::NameKind::Missing:
    case platform::NameKind::File:
        return std::nullopt;
    }
    return "-o の「" + name + "」は" + what;
}

int RunConvert(const Options& options, Output& output) {
    TerminalMessages messages(output, options.answer);
    if (options.target) {
        if (auto problem = UnusableTarget(*options.target)) {
            UsageError(output, *problem);
            return kExitUsage;
        }
    }
    Tally tally;
    const std::size_t count = options.files.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& source = options.files[i];
        if (count > 1)
            output.Out("[" + std::to_string(i + 1) + "/" + std::to_string(count) + "] " + source + "\n");
        // In place means this very file: a name that the name rule would turn into another file's
        // name (SITE.ZEL into SITE.ZEL.zel) is left alone rather than written elsewhere.
        const std::string inPlace = DeriveName(source, ".zel");
        if (!options.target && inPlace != source) {
            messages.Warn(
                "「" + source + "」をその場で変換すると、別のファイル「" + inPlace +
                "」に書き込むことになるため、変換しません。\r変換後のファイル名は -o で指定してください。");
            ++tally.refused;
            continue;
        }
        // One working set per file: nothing of an earlier file stays in memory.
        auto ws = std::make_unique<WorkingSet>();
        ConversionState state;
        state.sourceName = source;
        state.targetName = options.target ? *options.target : source;
        state.targetSettled = [&messages, &options](const std::string& name) {
            messages.SetTarget(name);
            // The name rule makes the target a ".zel" name; the user hears of a change of name.
            if (options.target && name != *options.target)
                messages.Inform("-o の「" + *options.target + "」ではなく、「" + name +
                                "」に書き込みます (変換後のファイル名は「.zel」で終わる名前にします)。");
        };
        switch (RunConversion(state, *ws, messages)) {
        case Outcome::Converted:
            ++tally.converted;
            break;
        case Outcome::AlreadyCurrent:
            ++tally.current;
            break;
        case Outcome::Declined:
            ++tally.declined;
            break;
        case Outcome::EmptyFields:
        case Outcome::Refused:
            ++tally.refused;
            break;
        case Outcome::BackupFailed:
        case Outcome::WriteFailed:
        case Outcome::WriteFailedAfter101:
            ++tally.failed;
            break;
        }
    }
    if (count > 1) {
        output.Out("合計 " + std::to_string(count) + " 件: 変換 " + std::to_string(tally.converted) +
                   " 件、変換不要 " + std::to_string(tally.current) + " 件、スキップ (上書きしない) " +
                   std::to_string(tally.declined) + " 件、拒否 " + std::to_string(tally.refused) +
                   " 件、失敗 " + std::to_string(tally.failed) + " 件\n");
    }
    const bool allGood = tally.declined == 0 && tally.refused == 0 && tally.failed == 0;
    return allGood ? kExitOk : kExitFailed;
}

} // namespace

int RunCli(const std::vector<std::string>& args, Console& console) {
    Output output(console);
    Options options;
    int status = kExitOk;
    switch (Parse(args, options, output)) {
    case Parsed::Wrong:
        status = kExitUsage;
        break;
    case Parsed::Done:
        break;
    case Parsed::Run:
        status = options.check ? RunCheck(options.files, output) : RunConvert(options, output);
        break;
    }
    return output.failed() && status == kExitOk ? kExitOutput : status;
}

} // namespace zel::cli
