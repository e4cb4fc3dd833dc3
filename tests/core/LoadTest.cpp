// Reading a source: the name, the signature and the body, and every refusal with its message.
#include "platform/Platform.h"
#include "support/Samples.h"
#include "support/TestSupport.h"
#include "usrdata/LoadReadModule.h"
#include "usrdata/Signatures.h"

#include <gtest/gtest.h>

using namespace zel;
using test::Shown;

namespace {

const std::string kNotData = "カルトゥーバのデータではありません。ファイル形式が違います。\r\r     ";
const std::string kDamaged = "ファイルが壊れているため変換できません。\r\r     ";

struct Loaded {
    std::uint8_t result;
    std::vector<Shown> shown;
};

Loaded Load(WorkingSet& ws, const std::string& name) {
    test::RecordingMessages messages;
    auto result = LoadUsrData(ws, name, messages);
    return {result, messages.shown};
}

std::vector<std::uint8_t> WithSignature(std::string_view signature, std::vector<std::uint8_t> body = {}) {
    std::vector<std::uint8_t> file(signature.begin(), signature.end());
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

} // namespace

TEST(LoadUsrData, RefusalsAndTheirMessages) {
    test::TempDir dir;
    std::string lower(kSignature100);
    lower[0] = 't';
    test::WriteBytes(dir.file("foreign.zel"), std::vector<std::uint8_t>(5000, 'x'));
    test::WriteBytes(dir.file("case.zel"), WithSignature(lower, test::MakeOldFile(0)));
    test::WriteBytes(dir.file("short.zel"), WithSignature(kSignature101.substr(0, 63)));
    std::filesystem::create_directory(dir.path() / "folder.zel");

    struct Case {
        std::string name;
        Shown expected;
    };
    const Case cases[] = {
        {"", {Shown::Warning, "ファイルを指定してください"}},
        {dir.file("missing.zel"),
         {Shown::Warning, "フォルダが見つかりませんでした\rファイル名：" + dir.file("missing.zel")}},
        {dir.file("folder.zel"),
         {Shown::Warning, "フォルダが見つかりませんでした\rファイル名：" + dir.file("folder.zel")}},
        {dir.file("foreign.zel"), {Shown::Warning, kNotData + dir.file("foreign.zel")}},
        {dir.file("case.zel"), {Shown::Warning, kNotData + dir.file("case.zel")}},
        {dir.file("short.zel"), {Shown::Warning, kNotData + dir.file("short.zel")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkingSet ws;
        auto loaded = Load(ws, c.name);
        EXPECT_EQ(loaded.result, kLoadRefused);
        EXPECT_EQ(loaded.shown, std::vector<Shown>{c.expected});
        EXPECT_TRUE(ws.LastSignature.empty());
    }

    // A file that exists but cannot be read is taken for one that is not data.
    test::WriteBytes(dir.file("locked.zel"), test::MakeOldFile(1));
    platform::InjectReadFault(1);
    WorkingSet ws;
    auto loaded = Load(ws, dir.file("locked.zel"));
    platform::InjectReadFault(0);
    EXPECT_EQ(loaded.result, kLoadRefused);
    EXPECT_EQ(loaded.shown, (std::vector<Shown>{{Shown::Warning, kNotData + dir.file("locked.zel")}}));
}

TEST(LoadUsrData, FormatsAreToldBySignature) {
    test::TempDir dir;
    test::WriteBytes(dir.file("v102.zel"), WithSignature(kSignature102, {1, 2, 3}));
    auto v101 = test::MakeOldFile(1);
    v101.insert(v101.end(), 3000, 0xEE); // bytes after the last block are never read
    test::WriteBytes(dir.file("v101.zel"), v101);
    test::WriteBytes(dir.file("v100.zel"), test::MakeOldFile(0));

    WorkingSet ws;
    ws.factorPair.HighFactor = Single{0x12345678};
    auto loaded = Load(ws, dir.file("v100.zel"));
    EXPECT_EQ(loaded.result, kLoadOldFormat);
    EXPECT_TRUE(loaded.shown.empty());
    EXPECT_EQ(ws.LastSignature, kSignature100);
    EXPECT_EQ(ws.factorPair.HighFactor.bits, 0x12345678u); // a 1.00 file has no factors
    EXPECT_EQ(TextEquals(ws.main101.Text1, "現場名：東京第一工区"), true);

    loaded = Load(ws, dir.file("v101.zel"));
    EXPECT_EQ(loaded.result, kLoadOldFormat);
    EXPECT_EQ(ws.LastSignature, kSignature101);
    EXPECT_EQ(ws.factorPair.HighFactor, Single::of(1.25f));
    EXPECT_EQ(ws.main101.Anchors.Count(), 2);

    Main101 before = ws.main101;
    loaded = Load(ws, dir.file("v102.zel"));
    EXPECT_EQ(loaded.result, kLoadAlreadyCurrent);
    EXPECT_EQ(loaded.shown,
              (std::vector<Shown>{
                  {Shown::Info, "最新バージョン（Ver. 1.04）形式のデータなので、変換は必要ありません。"}}));
    EXPECT_EQ(ws.LastSignature, kSignature102);
    EXPECT_TRUE(ws.main101 == before);
}

TEST(LoadUsrData, DamagedBodiesAreRefusedAndChangeNothing) {
    test::TempDir dir;
    auto file = test::MakeOldFile(1, 1);
    WorkingSet ws;
    ASSERT_EQ(Load(ws, (test::WriteBytes(dir.file("good.zel"), file), dir.file("good.zel"))).result,
              kLoadOldFormat);
    const Main101 before = ws.main101;

    std::vector<std::vector<std::uint8_t>> damaged;
    for (std::size_t cut = 64; cut < file.size(); cut += 997)
        damaged.emplace_back(file.begin(), file.begin() + cut);
    damaged.emplace_back(file.begin(), file.end() - 1);
    // Empty texts, then ListA with 0x7FFFFFFF elements; then a text claiming 65535 bytes.
    auto absurd = WithSignature(kSignature100, {8, 0, 1, 0, 0,    0,    0,    0,    0, 0, 0, 0, 0,
                                                0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0});
    damaged.push_back(absurd);
    auto longString = WithSignature(kSignature101, {8, 0, 1, 0, 0, 0, 0xFF, 0xFF, 'a'});
    damaged.push_back(longString);

    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        std::string name = dir.file("damaged" + std::to_string(i) + ".zel");
        test::WriteBytes(name, damaged[i]);
        ws.LastSignature = "earlier";
        auto loaded = Load(ws, name);
        EXPECT_EQ(loaded.result, kLoadRefused);
        EXPECT_EQ(loaded.shown, (std::vector<Shown>{{Shown::Warning, kDamaged + name}}));
        EXPECT_EQ(ws.LastSignature, "earlier");
        EXPECT_TRUE(ws.main101 == before);
    }
}
