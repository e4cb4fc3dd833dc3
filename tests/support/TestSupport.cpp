#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace zel::test {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& utf8name) {
    // Through char8_t, so that mingw does not take each byte for a character.
    return fs::path(std::u8string(utf8name.begin(), utf8name.end()));
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    path_ = fs::temp_directory_path() / ("zelconv-test-" + stamp + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission first, so that tests that made things read-only clean up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
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

std::vector<std::string> ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder)) {
        auto u8 = e.path().filename().u8string();
        names.emplace_back(u8.begin(), u8.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Snapshot SnapshotOf(const fs::path& folder) {
    Snapshot snapshot;
    for (const std::string& leaf : ListFolder(folder)) {
        const auto path = folder / PathFromUtf8(leaf);
        const auto status = fs::symlink_status(path);
        const std::string kind = fs::is_directory(status) ? "<folder>" : "<other>";
        const auto u8 = path.u8string();
        snapshot[leaf] = fs::is_regular_file(status) ? ReadBytes(std::string(u8.begin(), u8.end()))
                                                     : std::vector<std::uint8_t>(kind.begin(), kind.end());
    }
    return snapshot;
}

} // namespace zel::test
