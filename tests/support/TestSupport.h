// Helpers of the test programs: a recording fake of the messages, a temporary folder, files, snapshots.
#pragma once

#include "fileops/Messages.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zel::test {

struct Shown {
    enum Kind { Info, Warning, Question } kind;
    std::string text;
    bool operator==(const Shown&) const = default;
};

// Records every message; answers questions from a script (Yes when the script is empty).
struct RecordingMessages : Messages {
    std::vector<Shown> shown;
    std::deque<bool> answers;

    void Inform(const std::string& text) override { shown.push_back({Shown::Info, text}); }
    void Warn(const std::string& text) override { shown.push_back({Shown::Warning, text}); }
    bool AskYesNo(const std::string& text) override {
        shown.push_back({Shown::Question, text});
        const bool yes = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return yes;
    }
};

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // The full name of `leaf` inside the folder, as a UTF-8 string.
    std::string file(const std::string& leaf) const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& utf8name);
void WriteBytes(const std::string& utf8name, const std::vector<std::uint8_t>& bytes);
std::filesystem::path PathFromUtf8(const std::string& utf8name);
std::vector<std::string> ListFolder(const std::filesystem::path& folder);

// Every entry of a folder by name with the bytes of a file, else "<folder>" or "<other>".
using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;
Snapshot SnapshotOf(const std::filesystem::path& folder);

} // namespace zel::test
