#include "CliApp.h"

#include "Console.h"
#include "platform/Platform.h"
#include "usrdata/Signatures.h"
#include "workflow/ProgramInfo.h"
#include "workflow/Workflow.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

namespace zel::cli {

namespace {

constexpr const char* kUsage =
    "使い方:\n"
    "  zelconv-cli [--yes|--no] ファイル...\n"
    "      各ファイルをその場で最新形式 (1.02) に変換します。\n"
    "      元のファイルは「名前.bak」にバックアップします (すでにあるときは作りません)。\n"
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
    "  -o ファイル 変換後のファイル名 (変換するファイルは一つだけ)。\n"
    "  --check     形式を調べるだけにします。\n"
    "  --help      この説明を表示します。\n"
    "  --version   バージョンを表示します。\n"
    "\n"
    "メッセージは標準エラー出力に、種類を表す「情報: 」「警告: 」「質問: 」を付けて表示します。\n"
    "\n"
    "終了コード:\n"
    "  0  すべてのファイルを変換した、または変換の必要がなかった\n"
    "  1  拒否された、飛ばした、または失敗したファイルがある\n"
    "  2  コマンドラインの誤り\n";

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

// Shows the converter's messages on standard error, each prefixed by its kind, and answers the
// overwrite question as the command line says.
class TerminalMessages : public Messages {
public:
    explicit TerminalMessages(Answer answer) : answer_(answer) {}

    void Inform(const std::string& text) override { Show(kInfoPrefix, text); }
    void Warn(const std::string& text) override { Show(kWarnPrefix, text); }

    bool AskYesNo(const std::string& text) override {
        const std::string question = kAskPrefix + WithLineBreaks(text);
        switch (answer_) {
        case Answer::Yes:
            Write(Stream::Err, question + " はい (--yes)\n");
            return true;
        case Answer::No:
            Write(Stream::Err, question + " いいえ (--no)\n");
            return false;
        case Answer::Ask:
            break;
        }
        if (!InputIsTerminal()) {
            Write(Stream::Err,
                  question +
                      " いいえ (端末がないため確認できません。上書きするには --yes を付けてください)\n");
            return false;
        }
        for (;;) {
            Write(Stream::Err, question + " [Y/n] ");
            const std::optional<std::string> line = ReadLine();
            if (!line) {
                Write(Stream::Err, "\nいいえ (入力が終わりました)\n");
                return false;
            }
            const std::string reply = Lower(Trim(*line));
            if (reply.empty() || reply == "y" || reply == "yes" || reply == "はい") return true;
            if (reply == "n" || reply == "no" || reply == "いいえ") return false;
            Write(Stream::Err, "y (はい) か n (いいえ) で答えてください。\n");
        }
    }

private:
    static void Show(const char* prefix, const std::string& text) {
        Write(Stream::Err, prefix + WithLineBreaks(text) + "\n");
    }
    Answer answer_;
};

// Keeps the messages of a detection to itself: --check reports in its own words.
class SilentMessages : public Messages {
public:
    void Inform(const std::string&) override {}
    void Warn(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
};

void UsageError(const std::string& problem) {
    Write(Stream::Err, "zelconv-cli: " + problem + "\n\n" + kUsage);
}

// Fills `options`; on a wrong command line shows the problem and the usage and returns false.
bool Parse(const std::vector<std::string>& args, Options& options, bool& done, int& status) {
    bool answerGiven = false;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            Write(Stream::Out, kUsage);
            done = true;
            status = kExitOk;
            return true;
        } else if (arg == "--version") {
            Write(Stream::Out,
                  std::string("zelconv-cli ") + ZELCONV_VERSION_TEXT + "\n" + ZELCONV_DESCRIPTION + "\n");
            done = true;
            status = kExitOk;
            return true;
        } else if (arg == "--yes" || arg == "--no") {
            const Answer answer = arg == "--yes" ? Answer::Yes : Answer::No;
            if (answerGiven && options.answer != answer) {
                UsageError("--yes と --no は同時に指定できません。");
                return false;
            }
            answerGiven = true;
            options.answer = answer;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "-o") {
            if (options.target) {
                UsageError("-o は一度だけ指定できます。");
                return false;
            }
            if (i + 1 >= args.size()) {
                UsageError("-o の後に変換後のファイル名を指定してください。");
                return false;
            }
            options.target = args[++i];
        } else {
            UsageError("不明なオプションです: " + arg);
            return false;
        }
    }
    if (options.files.empty()) {
        UsageError("ファイルを指定してください。");
        return false;
    }
    if (options.check && (options.target || answerGiven)) {
        UsageError("--check は -o、--yes、--no と一緒には使えません。");
        return false;
    }
    if (options.target && options.files.size() != 1) {
        UsageError("-o を使うときは、変換するファイルを一つだけ指定してください。");
        return false;
    }
    return true;
}

bool HasSignature(const std::string& name, std::string_view signature) {
    const auto prefix = platform::ReadFilePrefix(name, signature.size());
    return prefix && prefix->size() == signature.size() &&
           std::equal(prefix->begin(), prefix->end(), signature.begin(),
                      [](std::uint8_t byte, char c) { return byte == static_cast<unsigned char>(c); });
}

// --check: what each file is, nothing written.
int RunCheck(const std::vector<std::string>& files) {
    WorkingSet ws;
    SilentMessages silent;
    bool allData = true;
    for (const std::string& name : files) {
        std::string verdict;
        ws.LastSignature.clear();
        const std::uint8_t result = LoadUsrData(ws, name, silent);
        if (result == kLoadOldFormat && ws.LastSignature == kSignature100) {
            verdict = "1.00 形式 (変換が必要です)";
        } else if (result == kLoadOldFormat && ws.LastSignature == kSignature101) {
            verdict = "1.01 形式 (変換が必要です)";
        } else if (result == kLoadAlreadyCurrent) {
            verdict = "1.02 形式 (変換の必要はありません)";
        } else if (name.empty() || !platform::FileExists(name)) {
            verdict = "ファイルが見つかりません";
            allData = false;
        } else if (HasSignature(name, kSignature100) || HasSignature(name, kSignature101)) {
            // The signature is right but the body could not be read in full.
            verdict = "データが壊れています";
            allData = false;
        } else {
            verdict = "カルトゥーバのデータではありません";
            allData = false;
        }
        Write(Stream::Out, name + ": " + verdict + "\n");
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

int RunConvert(const Options& options) {
    WorkingSet ws;
    TerminalMessages messages(options.answer);
    Tally tally;
    const std::size_t count = options.files.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& source = options.files[i];
        if (count > 1)
            Write(Stream::Out,
                  "[" + std::to_string(i + 1) + "/" + std::to_string(count) + "] " + source + "\n");
        ConversionState state;
        state.imText1 = source;
        state.imText2 = options.target ? *options.target : source;
        switch (RunConversion(state, ws, messages)) {
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
            ++tally.failed;
            break;
        }
    }
    if (count > 1) {
        Write(Stream::Out, "合計 " + std::to_string(count) + " 件: 変換 " + std::to_string(tally.converted) +
                               " 件、変換不要 " + std::to_string(tally.current) +
                               " 件、スキップ (上書きしない) " + std::to_string(tally.declined) +
                               " 件、拒否 " + std::to_string(tally.refused) + " 件、失敗 " +
                               std::to_string(tally.failed) + " 件\n");
    }
    const bool allGood = tally.declined == 0 && tally.refused == 0 && tally.failed == 0;
    return allGood ? kExitOk : kExitFailed;
}

} // namespace

int RunCli(const std::vector<std::string>& args) {
    Options options;
    bool done = false;
    int status = kExitOk;
    if (!Parse(args, options, done, status)) return kExitUsage;
    if (done) return status;
    return options.check ? RunCheck(options.files) : RunConvert(options);
}

} // namespace zel::cli
