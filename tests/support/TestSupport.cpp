#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace zel::test {

std::filesystem::path PathFromUtf8(const std::string& utf8name) {
    // Through char8_t, so that mingw does not take each byte for a character.
    std::u8string u8(utf8name.begin(), utf8name.end());
    return std::filesystem::path(u8);
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("zelconv-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission first, so that tests that made things read-only clean up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& leaf) const {
    auto u8 = (path_ / PathFromUtf8(leaf)).u8string();
    return std::string(u8.begin(), u8.end());
}

std::vector<std::uint8_t> ReadBytes(const std::string& utf8name) {
    std::ifstream in(PathFromUtf8(utf8name), std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + utf8name);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& utf8name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(PathFromUtf8(utf8name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + utf8name);
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        auto u8 = e.path().filename().u8string();
        names.emplace_back(u8.begin(), u8.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Snapshot SnapshotOf(const std::filesystem::path& folder) {
    Snapshot snapshot;
    for (const std::string& leaf : ListFolder(folder)) {
        const auto path = folder / PathFromUtf8(leaf);
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(path, ec);
        const std::string kind = std::filesystem::is_directory(status) ? "<folder>" : "<other>";
        const auto u8 = path.u8string();
        snapshot[leaf] = std::filesystem::is_regular_file(status)
                             ? ReadBytes(std::string(u8.begin(), u8.end()))
                             : std::vector<std::uint8_t>(kind.begin(), kind.end());
    }
    return snapshot;
}

} // namespace zel::test
