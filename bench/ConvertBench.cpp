// Converts a large generated format 1.00 file (1,000 anchors, a few entries each, about 30 MB) and
// compares, in the same run, the conversion time (read, upgrade, write as 1.01 and as 1.02, each
// flushed to disk) with the time to copy the same file with the standard library and flush the
// copy. The conversion runs in a child process so that its peak memory is its own.
//
//   zelconv-bench [FOLDER] [ANCHORS]     (default: the system's temporary folder, 1000)
#include "fileops/LoadReadModule.h"
#include "support/SampleFiles.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace zel;
using Clock = std::chrono::steady_clock;

namespace {

class SilentMessages : public Messages {
public:
    void Inform(const std::string&) override {}
    void Warn(const std::string& text) override { std::cerr << "warning: " << text << "\n"; }
    bool AskYesNo(const std::string&) override { return true; }
};

std::vector<std::uint8_t> MakeLargeFile(int anchors) {
    test::ProjectShape shape{.anchorCount = anchors,
                             .anchor = {.cycleCount = 5, .entries = 5, .randomData = true}};
    return test::SampleFile(FileVersion::V100, shape);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The plain copy: read the whole file, write it to a new file, flush it to disk.
double CopyAndFlush(const std::string& from, const std::string& to) {
    auto start = Clock::now();
    {
        std::ifstream in(from, std::ios::binary);
        std::vector<char> data((std::istreambuf_iterator<char>(in)), {});
        std::ofstream out(to, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    int fd = ::open(to.c_str(), O_WRONLY);
    ::fsync(fd);
    ::close(fd);
    return Seconds(start);
}

// In the child: one conversion as the workflow runs it for a 1.00 source.
int ConvertOnce(const std::string& source, const std::string& target) {
    WorkingSet ws;
    SilentMessages messages;
    auto start = Clock::now();
    if (LoadUsrData(ws, source, messages) != LoadResult::OldFormat) return 1;
    double read = Seconds(start);
    if (Write101(ws, target, messages) != WriteResult::Written) return 1;
    double write101 = Seconds(start) - read;
    if (Write102(ws, target, messages) != WriteResult::Written) return 1;
    double total = Seconds(start);
    std::printf("%.6f %.6f %.6f %.6f\n", read, write101, total - read - write101, total);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--convert") return ConvertOnce(argv[2], argv[3]);

    std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    int anchors = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::string source = (folder / "zelconv-bench-source.zel").string();
    std::string target = (folder / "zelconv-bench-target.zel").string();
    std::string copy = (folder / "zelconv-bench-copy.zel").string();
    {
        auto file = MakeLargeFile(anchors);
        std::ofstream(source, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    const double sourceMb = static_cast<double>(std::filesystem::file_size(source)) / 1e6;

    const int rounds = 3;
    double bestCopy = 1e9, bestConvert = 1e9;
    long peakKb = 0;
    std::string phases;
    for (int round = 0; round < rounds; ++round) {
        bestCopy = std::min(bestCopy, CopyAndFlush(source, copy));

        int pipeFd[2];
        if (::pipe(pipeFd) != 0) return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFd[1], STDOUT_FILENO);
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        char* args[] = {self.data(), const_cast<char*>("--convert"), source.data(), target.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, self.c_str(), &actions, nullptr, args, environ) != 0) return 1;
        ::close(pipeFd[1]);
        char buf[256] = {};
        auto n = ::read(pipeFd[0], buf, sizeof buf - 1);
        ::close(pipeFd[0]);
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::cerr << "conversion failed\n";
            return 1;
        }
        double read = 0, w101 = 0, w102 = 0, total = 0;
        std::sscanf(buf, "%lf %lf %lf %lf", &read, &w101, &w102, &total);
        if (total < bestConvert) {
            bestConvert = total;
            char line[200];
            std::snprintf(line, sizeof line, "read %.3f s, write 1.01 %.3f s, build and write 1.02 %.3f s",
                          read, w101, w102);
            phases = line;
        }
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    const double targetMb = static_cast<double>(std::filesystem::file_size(target)) / 1e6;
    const double peakMb = static_cast<double>(peakKb) / 1024.0;
    const double ratio = bestConvert / bestCopy;
    const double memoryLimit = 4 * sourceMb + 50;
    std::printf("source: %d anchors, %.1f MB (format 1.00); target %.1f MB (format 1.02)\n", anchors,
                sourceMb, targetMb);
    std::printf("plain copy + flush:     %.3f s (best of %d)\n", bestCopy, rounds);
    std::printf("conversion + flushes:   %.3f s (best of %d; %s)\n", bestConvert, rounds, phases.c_str());
    std::printf("conversion / copy:      %.2f (target: within 3)  %s\n", ratio, ratio <= 3 ? "ok" : "OVER");
    std::printf("peak memory:            %.1f MB (target: under %.1f MB)  %s\n", peakMb, memoryLimit,
                peakMb < memoryLimit ? "ok" : "OVER");
    std::filesystem::remove(source);
    std::filesystem::remove(target);
    std::filesystem::remove(copy);
    std::filesystem::remove(folder / "zelconv-bench-target.bak");
    return ratio <= 3 && peakMb < memoryLimit ? 0 : 1;
}
