#include "cli/CliApp.h"

#include "platform/Platform.h"
#include "workflow/Batch.h"
#include "workflow/ProgramInfo.h"
#include "workflow/Undo.h"
#include "workflow/Workflow.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>

namespace zel::cli {

namespace {

constexpr const char* kUsage =
    "使い方:\n"
    "  zelconv-cli [--yes|--no] [-j 数] ファイルまたはフォルダ...\n"
    "      各ファイルをその場で (そのファイル自身に) 最新形式 (1.02) に変換します。「SITE.ZEL」の\n"
    "      ように名前が大文字でも、そのファイルに書き込みます。\n"
    "      元のファイルは「名前.bak」にバックアップします (すでにあるときは作りません)。\n"
    "      フォルダを指定すると、その中とサブフォルダの「.zel」ファイル (大文字小文字を問わず。\n"
    "      隠しファイルを除く) を、エクスプローラーと同じ順に変換します。\n"
    "  zelconv-cli [--yes|--no] -o 変換後のファイル 変換するファイル\n"
    "      変換するファイルを変換して、変換後のファイルに書き込みます。\n"
    "  zelconv-cli --check ファイルまたはフォルダ...\n"
    "      各ファイルの形式 (1.00, 1.01, 1.02) を調べて表示します。何も書き込みません。\n"
    "  zelconv-cli [--yes|--no] [-j 数] --undo ファイルまたはフォルダ...\n"
    "      元に戻す: 各ファイルを、変換前のファイルにバックアップ (「名前.bak」) から戻し、\n"
    "      バックアップを消します。ファイルがバックアップを変換したものとバイト単位で同じときだけ\n"
    "      戻します (変換後に変更されたファイルは戻しません)。始める前に一度だけ確認します\n"
    "      (Enter で「はい」)。--no のときは何も書き込まず、何をするかを表示します。\n"
    "\n"
    "オプション:\n"
    "  --yes       変換後のファイルが存在するとき、確認せずに上書きします。\n"
    "  --no        変換後のファイルが存在するとき、上書きせずにそのファイルを飛ばします。\n"
    "              どちらもないときは端末で確認します (Enter で「はい」)。\n"
    "              端末がないときは「いいえ」として飛ばします。\n"
    "  -o ファイル 変換後のファイル名 (変換するファイルは一つだけ)。名前が「.zel」で終わらない\n"
    "              ときは、ウィンドウと同じ規則で「.zel」で終わる名前にして書き込みます。\n"
    "  -j 数       その数のファイルを同時に変換します (既定は 1、最大は処理装置の数)。\n"
    "              表示はファイルの順に並びます。--yes も --no もないときは、変換を始める前に\n"
    "              端末で一度だけ確認します (端末がないときは「いいえ」)。\n"
    "  --check     形式を調べるだけにします。\n"
    "  --help      この説明を表示します。\n"
    "  --version   バージョンを表示します。\n"
    "\n"
    "メッセージは標準エラー出力に、種類を表す「情報: 」「警告: 」「質問: 」を付けて表示します。\n"
    "ファイル名の制御文字 (改行、ESC など) は「\\x1B」のように表示します。\n"
    "出力先のパイプが閉じられたときは、何も表示せずに、変換中のファイルを終えたところで中止します\n"
    "(残りのファイルは変換しません)。\n"
    "\n"
    "終了コード:\n"
    "  0  すべてのファイルを変換した、または変換の必要がなかった\n"
    "  1  拒否された、飛ばした、または失敗したファイルがある\n"
    "  2  コマンドラインの誤り\n"
    "  3  標準出力または標準エラー出力に書き込めなかった (パイプが閉じられて中止したときを含む)\n"
    "  1 と 3 の両方に当たるときは 1 になります。\n";

constexpr const char* kInfoPrefix = "情報: ";
constexpr const char* kWarnPrefix = "警告: ";
constexpr const char* kAskPrefix = "質問: ";
// How a question is answered where no terminal can ask it.
constexpr const char* kNoTerminalAnswer =
    " いいえ (端末がないため確認できません。上書きするには --yes を付けてください)";

enum class Answer { Ask, Yes, No };

struct Options {
    Answer answer = Answer::Ask;
    bool check = false;
    bool undo = false;
    std::optional<std::string> target;
    unsigned jobs = 1;
    std::vector<std::string> files;
};

// `text` with each control character (a byte below 0x20, 0x7F, and U+0080 to U+009F) written as
// \xHH for each of its bytes, so that what the console shows can neither move the cursor nor send
// the terminal a command; character 13 becomes a line break where `lineBreaks` holds. Every other
// byte stays as it is.
std::string Escaped(const std::string& text, bool lineBreaks) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (byte == '\r' && lineBreaks) {
            shown += '\n';
        } else if (byte < 0x20 || byte == 0x7F || c1) {
            for (std::size_t k = 0; k < (c1 ? 2u : 1u); ++k) {
                const auto b = static_cast<unsigned char>(text[i + k]);
                shown += "\\x";
                shown += kHex[b >> 4];
                shown += kHex[b & 0xF];
            }
            i += c1 ? 1 : 0;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

// A file name as the console shows it: its control characters escaped, its other bytes its own.
std::string Shown(const std::string& name) {
    return Escaped(name, false);
}

// Lines inside a message are joined by character 13; the terminal wants line breaks. The names that
// a message holds are shown as Shown shows them (but for a character 13 in one).
std::string WithLineBreaks(const std::string& text) {
    return Escaped(text, true);
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
// while that can still be written. A pipe whose reader has gone silences the program: nothing more
// is written, and the run stops after the files being converted (brokenPipe()).
class Output {
public:
    explicit Output(Console& console) : console_(console) {}
    void Out(const std::string& text) { Put(Console::Stream::Out, text); }
    void Err(const std::string& text) { Put(Console::Stream::Err, text); }
    bool failed() const { return failed_; }
    bool brokenPipe() const { return brokenPipe_; }
    // Set once a pipe is broken: the batch's stop flag.
    const std::atomic<bool>& brokenPipeFlag() const { return brokenPipe_; }
    Console& console() { return console_; }

private:
    void Put(Console::Stream stream, const std::string& text) {
        if (brokenPipe_) return;
        const Console::WriteResult result = console_.Write(stream, text);
        if (result == Console::WriteResult::Written) return;
        const bool first = !failed_.exchange(true);
        if (result == Console::WriteResult::BrokenPipe)
            brokenPipe_ = true;
        else if (first && stream == Console::Stream::Out)
            Put(Console::Stream::Err, "zelconv-cli: 標準出力に書き込めませんでした。\n");
    }
    Console& console_;
    std::atomic<bool> failed_{false};
    std::atomic<bool> brokenPipe_{false};
};

// Asks `question` on the terminal until it is answered; Enter is Yes, the end of input No.
// With the output gone there is nobody to ask: No.
bool AskOnTerminal(Output& output, const std::string& question) {
    for (;;) {
        if (output.brokenPipe()) return false;
        output.Err(question + " [Y/n] ");
        const std::optional<std::string> line = output.console().ReadLine();
        if (!line) {
            output.Err("\nいいえ (入力が終わりました)\n");
            return false;
        }
        const std::string reply = Lower(Trim(*line));
        if (reply.empty() || reply == "y" || reply == "yes" || reply == "はい") return true;
        if (reply == "n" || reply == "no" || reply == "いいえ") return false;
        output.Err("y (はい) か n (いいえ) で答えてください。\n");
    }
}

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
        const std::string question = kAskPrefix + WithLineBreaks(text) + " (" + Shown(target_) + ")";
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
        if (!output_.console().InputIsTerminal()) {
            output_.Err(question + kNoTerminalAnswer + "\n");
            return false;
        }
        return AskOnTerminal(output_, question);
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
        } else if (arg == "-j" || arg.rfind("-j", 0) == 0) {
            std::string number = arg.substr(2);
            if (number.empty()) {
                if (i + 1 >= args.size())
                    return wrong("-j の後に同時に変換するファイルの数を指定してください。");
                number = args[++i];
            }
            const bool digits =
                !number.empty() && number.size() <= 4 &&
                std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits || std::stoul(number) == 0)
                return wrong("-j には 1 から 9999 までの数を指定してください: " + Shown(number));
            options.jobs = static_cast<unsigned>(std::stoul(number));
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--undo") {
            options.undo = true;
        } else if (arg == "-o") {
            if (options.target) return wrong("-o は一度だけ指定できます。");
            if (i + 1 >= args.size()) return wrong("-o の後に変換後のファイル名を指定してください。");
            options.target = args[++i];
            if (options.target->empty() || platform::IsSeparator(options.target->back()))
                return wrong("-o にはフォルダではなく、変換後のファイル名を指定してください: " +
                             Shown(*options.target));
        } else {
            return wrong("不明なオプションです: " + Shown(arg));
        }
    }
    if (options.files.empty()) return wrong("ファイルを指定してください。");
    if (options.check && (options.target || answerGiven))
        return wrong("--check は -o、--yes、--no と一緒には使えません。");
    if (options.undo && (options.target || options.check))
        return wrong("--undo は -o、--check と一緒には使えません。");
    if (options.target && options.files.size() != 1)
        return wrong("-o を使うときは、変換するファイルを一つだけ指定してください。");
    return Parsed::Run;
}

// --check: what each file is, from one reading of it; nothing written. A broken pipe ends it.
int RunCheck(const std::vector<std::string>& files, Output& output) {
    bool allData = true;
    for (const std::string& name : files) {
        if (output.brokenPipe()) break;
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
        case FileCheck::InUse:
            verdict = "使用中";
            break;
        }
        if (check != FileCheck::Format100 && check != FileCheck::Format101 && check != FileCheck::Format102)
            allData = false;
        output.Out(Shown(name) + ": " + verdict + "\n");
    }
    return allData ? kExitOk : kExitFailed;
}

// --undo: the old files put back from their backups, after one question for all of them; with --no
// (or with nobody to ask) what would be done, and nothing written.
int RunUndo(const Options& options, Output& output) {
    const std::vector<std::string> names = FullNames(ListBatch(options.files));
    const unsigned workers = std::min(options.jobs, platform::ProcessorCount());
    std::vector<UndoOutcome> outcomes = PutBackAll(names, true, workers);
    const std::size_t count = PutBackCount(outcomes);
    bool yes = options.answer == Answer::Yes;
    if (count > 0 && options.answer != Answer::Yes) {
        const std::string question = kAskPrefix + UndoConfirmText(count);
        if (options.answer == Answer::No)
            output.Err(question + " いいえ (--no: 何も書き込まずに、するはずのことを表示します)\n");
        else if (!output.console().InputIsTerminal())
            output.Err(question +
                       " いいえ (端末がないため確認できません。戻すには --yes を付けてください)\n");
        else
            yes = AskOnTerminal(output, question);
    }
    if (yes && count > 0) outcomes = PutBackAll(names, false, workers);
    std::map<UndoResult, int> tally;
    for (std::size_t i = 0; i < names.size(); ++i) {
        output.Out(Shown(names[i]) + ": " + UndoResultText(outcomes[i]) + "\n");
        ++tally[outcomes[i].result];
    }
    if (names.size() > 1)
        output.Out("合計 " + std::to_string(names.size()) + " 件: 戻した " +
                   std::to_string(tally[UndoResult::PutBack]) + " 件、戻す必要なし " +
                   std::to_string(tally[UndoResult::NotNeeded]) + " 件、戻さない " +
                   std::to_string(tally[UndoResult::NoBackup] + tally[UndoResult::BackupNotOld] +
                                  tally[UndoResult::Changed] + tally[UndoResult::WouldPutBack]) +
                   " 件、失敗 " + std::to_string(tally[UndoResult::Failed]) + " 件\n");
    return tally[UndoResult::PutBack] + tally[UndoResult::NotNeeded] == static_cast<int>(names.size())
               ? kExitOk
               : kExitFailed;
}

struct Tally {
    int converted = 0;
    int current = 0;
    int declined = 0;
    int refused = 0;
    int failed = 0;
    int pending = 0;
};

std::string SummaryLine(std::size_t count, const Tally& tally) {
    std::string line = "合計 " + std::to_string(count) + " 件: 変換 " + std::to_string(tally.converted) +
                       " 件、変換不要 " + std::to_string(tally.current) + " 件、スキップ (上書きしない) " +
                       std::to_string(tally.declined) + " 件、拒否 " + std::to_string(tally.refused) +
                       " 件、失敗 " + std::to_string(tally.failed) + " 件";
    if (tally.pending > 0) line += "、未処理 " + std::to_string(tally.pending) + " 件";
    return line + "\n";
}

int ExitStatus(const Tally& tally) {
    const bool allGood = tally.declined == 0 && tally.refused == 0 && tally.failed == 0 && tally.pending == 0;
    return allGood ? kExitOk : kExitFailed;
}

// Why the name given with -o cannot take the converted file, or nothing: a folder, a device, a FIFO
// or a circle of links (on Windows also the names of devices, such as NUL or COM1.zel).
std::optional<std::string> UnusableTarget(const std::string& name) {
    const platform::NameKind kind = platform::KindOfName(name);
    const std::string reason = NotAFileReason(kind);
    if (reason.empty()) return std::nullopt;
    const std::string example = kind == platform::NameKind::Folder
                                    ? "フォルダの中に作るファイルの名前 (「" + Shown(name) +
                                          std::string(1, platform::kSeparator) + "現場.zel」など)"
                                    : std::string("変換後のファイル名 (「現場_新.zel」など)");
    return "-o の「" + Shown(name) + "」は" + reason + "。" + example + " を指定してください。";
}

// -o: the one named file converted into the file named by -o, by the window's workflow.
int RunToTarget(const Options& options, Output& output) {
    if (auto problem = UnusableTarget(*options.target)) {
        UsageError(output, *problem);
        return kExitUsage;
    }
    TerminalMessages messages(output, options.answer);
    auto ws = std::make_unique<WorkingSet>();
    ConversionState state;
    state.sourceName = options.files.front();
    state.targetName = *options.target;
    state.targetSettled = [&messages, &options](const std::string& name) {
        messages.SetTarget(name);
        // The name rule makes the target a ".zel" name; the user hears of a change of name.
        if (name != *options.target)
            messages.Inform("-o の「" + Shown(*options.target) + "」ではなく、「" + Shown(name) +
                            "」に書き込みます (変換後のファイル名は「.zel」で終わる名前にします)。");
    };
    switch (RunConversion(state, *ws, messages)) {
    case Outcome::Converted:
    case Outcome::AlreadyCurrent:
        return kExitOk;
    case Outcome::Declined:
    case Outcome::EmptyFields:
    case Outcome::Refused:
    case Outcome::BackupFailed:
    case Outcome::WriteFailed:
    case Outcome::WriteFailedAfter101:
        break;
    }
    return kExitFailed;
}

// In place: every file converted where it is by the batch, on `-j` workers, its lines shown in
// the order of the files as soon as it and every file before it are done.
class InPlaceRun {
public:
    InPlaceRun(const Options& options, Output& output) : options_(options), output_(output) {}

    int Run() {
        files_ = ListBatch(options_.files);
        const std::size_t count = files_.size();
        unsigned workers = options_.jobs;
        const unsigned processors = platform::ProcessorCount();
        if (workers > processors) {
            output_.Err(std::string(kInfoPrefix) + "-j " + std::to_string(workers) + " は処理装置の数 (" +
                        std::to_string(processors) + ") を超えるため、" + std::to_string(processors) +
                        " 件ずつ変換します。\n");
            workers = processors;
        }
        BatchOptions batch;
        answer_ = options_.answer;
        // With nothing to write there is nothing to ask up front; a file that has become old by its
        // turn is asked about on its own, as with one worker.
        if (answer_ == Answer::Ask && workers > 1 && FilesToConvert(files_) == 0) workers = 1;
        batch.workers = workers;
        if (answer_ == Answer::Ask && workers > 1) AskUpFront();
        batch.answer = [this](std::size_t index, const std::string& question) {
            return Answered(index, question);
        };
        batch.done = [this](std::size_t index, const BatchOutcome&) { Done(index); };
        batch.stop = &output_.brokenPipeFlag();
        shown_.assign(count, false);
        live_.assign(count, false);
        const BatchEnd end = RunBatch(files_, outcomes_, batch);
        if (end == BatchEnd::DiskFull) output_.Err(std::string(kWarnPrefix) + kBatchDiskFullText + "\n");
        Tally tally;
        for (const BatchOutcome& outcome : outcomes_)
            Count(outcome, tally);
        // The files that a broken pipe left are no failure of their own: the output's status tells.
        if (output_.brokenPipe()) tally.pending = 0;
        if (count > 1) output_.Out(SummaryLine(count, tally));
        return ExitStatus(tally);
    }

private:
    // With several workers a person is asked once, before any file is begun.
    void AskUpFront() {
        if (!output_.console().InputIsTerminal()) {
            upFront_ = kNoTerminalAnswer;
            answer_ = Answer::No;
            return;
        }
        const bool yes =
            AskOnTerminal(output_, kAskPrefix + WithLineBreaks(BatchConfirmText(FilesToConvert(files_))));
        upFront_ = yes ? " はい (最初の確認で「はい」)" : " いいえ (最初の確認で「いいえ」)";
        answer_ = yes ? Answer::Yes : Answer::No;
    }

    std::string Question(const BatchFile& file, const std::string& text) const {
        return kAskPrefix + WithLineBreaks(text) + " (" + Shown(file.fullName) + ")";
    }

    // Called on the converting thread. Only one worker asks a person, so the question is shown as
    // it is asked, after the file's first line.
    bool Answered(std::size_t index, const std::string& question) {
        if (answer_ != Answer::Ask) return answer_ == Answer::Yes;
        Heading(index);
        live_[index] = true;
        const BatchFile& file = files_[index];
        if (output_.console().InputIsTerminal()) return AskOnTerminal(output_, Question(file, question));
        output_.Err(Question(file, question) + kNoTerminalAnswer + "\n");
        return false;
    }

    void Heading(std::size_t index) {
        if (files_.size() > 1)
            output_.Out("[" + std::to_string(index + 1) + "/" + std::to_string(files_.size()) + "] " +
                        Shown(files_[index].fullName) + "\n");
    }

    void Done(std::size_t index) {
        const std::lock_guard<std::mutex> lock(mutex_);
        shown_[index] = true;
        while (next_ < files_.size() && shown_[next_])
            Show(next_++);
    }

    void Show(std::size_t index) {
        const BatchFile& file = files_[index];
        const BatchOutcome& outcome = outcomes_[index];
        if (!live_[index]) Heading(index);
        for (const BatchMessage& message : outcome.log) {
            switch (message.kind) {
            case BatchMessage::Kind::Inform:
                output_.Err(kInfoPrefix + WithLineBreaks(message.text) + "\n");
                break;
            case BatchMessage::Kind::Warn:
                output_.Err(kWarnPrefix + WithLineBreaks(message.text) + "\n");
                break;
            case BatchMessage::Kind::Ask:
                if (!live_[index])
                    output_.Err(Question(file, message.text) + AnswerShown(message.answer) + "\n");
                break;
            }
        }
        // A file that the batch did not give to the workflow has no message of its own.
        if (outcome.log.empty() && outcome.result == BatchResult::NotNeeded)
            output_.Err(kInfoPrefix + WithLineBreaks(BatchResultText(outcome)) + " (すでに最新形式です)\n");
        // Alone, with no [n/N] line before it, the row names what it is about (a subfolder, say).
        if (outcome.log.empty() && outcome.result == BatchResult::NotConverted)
            output_.Err(kWarnPrefix + WithLineBreaks(BatchResultText(outcome)) +
                        (files_.size() == 1 ? " (" + Shown(file.fullName) + ")" : std::string()) + "\n");
    }

    std::string AnswerShown(bool yes) const {
        if (!upFront_.empty()) return upFront_;
        return yes ? " はい (--yes)" : " いいえ (--no)";
    }

    static void Count(const BatchOutcome& outcome, Tally& tally) {
        switch (outcome.result) {
        case BatchResult::Pending:
            ++tally.pending;
            break;
        case BatchResult::Converted:
        case BatchResult::ConvertedBackupExisted:
            ++tally.converted;
            break;
        case BatchResult::NotNeeded:
            ++tally.current;
            break;
        case BatchResult::NotConverted: {
            const bool declined =
                std::any_of(outcome.log.begin(), outcome.log.end(), [](const BatchMessage& m) {
                    return m.kind == BatchMessage::Kind::Ask && !m.answer;
                });
            ++(declined ? tally.declined : tally.refused);
            break;
        }
        case BatchResult::Failed:
        case BatchResult::Converted101Only:
            ++tally.failed;
            break;
        }
    }

    const Options& options_;
    Output& output_;
    Answer answer_ = Answer::Ask;
    std::string upFront_; // how the question asked up front was answered, shown after each question
    std::vector<BatchFile> files_;
    std::vector<BatchOutcome> outcomes_;
    std::mutex mutex_;
    std::vector<bool> shown_; // done, under mutex_
    std::vector<bool> live_;  // the first line and the question were shown as it was asked
    std::size_t next_ = 0;    // the first file whose lines are not shown yet
};

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
        if (options.undo) {
            status = RunUndo(options, output);
        } else if (options.check) {
            status = RunCheck(FullNames(ListBatch(options.files)), output);
        } else if (options.target) {
            status = RunToTarget(options, output);
        } else {
            status = InPlaceRun(options, output).Run();
        }
        break;
    }
    return output.failed() && status == kExitOk ? kExitOutput : status;
}

} // namespace zel::cli
