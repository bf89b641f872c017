// The registry file's text format, and the expansion of %NAME% outside Windows.
#include "regfile.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

RegTree sampleTree()
{
    RegTree tree;
    RegKeyNode& settings = tree.roots[HKEY_LOCAL_MACHINE_KEY]
                               .ensureSubKey("Software")
                               .ensureSubKey("Halvorn")
                               .ensureSubKey("Settings");
    auto sz = [](std::string_view s) {
        ByteArray b(s.begin(), s.end());
        b.push_back(0);
        return RegistryData{RegSz, b};
    };
    settings.values = {
        {"", sz("default")},
        {"Plain", sz("hello world")},
        {"Quote\"And\\Slash", sz("C:\\dir\\\"x\"")},
        {"Utf8", sz("Gr\xC3\xBC\xC3\x9F"
                    "e")},
        {"Empty", sz("")},
        {"Control", sz("line1\r\nline2\ttab")},
        {"Unterminated", RegistryData{RegSz, ByteArray{'a', 'b'}}},
        {"NoBytes", RegistryData{RegSz, {}}},
        {"Dword", RegistryData{RegDword, {0x78, 0x56, 0x34, 0x12}}},
        {"ShortDword", RegistryData{RegDword, {1, 2}}},
        {"BigEndian", RegistryData{RegDwordBigEndian, {0, 0, 0, 0x1e}}},
        {"Expand", RegistryData{RegExpandSz, {'%', 'A', '%', 0}}},
        {"Multi", RegistryData{RegMultiSz, {'a', 0, 'b', 0, 0}}},
        {"Binary", RegistryData{RegBinary, ByteArray(100, 0xAB)}},
        {"EmptyBinary", RegistryData{RegBinary, {}}},
        {"OddType", RegistryData{0x100000, {9}}},
    };
    tree.roots[HKEY_LOCAL_MACHINE_KEY].ensureSubKey("Software").ensureSubKey("EmptyKey");
    tree.roots[HKEY_CURRENT_USER_KEY].ensureSubKey("Software").values = {{"Own", sz("user")}};
    tree.roots[HKEY_CLASSES_ROOT_KEY].values = {{"AtRoot", sz("r")}};
    return tree;
}

TEST(RegFile, EveryValueSurvivesTheRoundTripThroughTheReadableExportFormat)
{
    const RegTree tree = sampleTree();
    const std::string text = SerializeRegFile(tree);
    RegTree back;
    std::string error;
    ASSERT_TRUE(ParseRegFile(text, back, error)) << error << "\n" << text;
    EXPECT_EQ(back, tree) << text;
    EXPECT_EQ(SerializeRegFile(back), text);

    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    for (const char* line :
         {"[HKEY_LOCAL_MACHINE\\Software\\Halvorn\\Settings]\n",
          "[HKEY_LOCAL_MACHINE\\Software\\EmptyKey]\n", "[HKEY_CURRENT_USER\\Software]\n",
          "[HKEY_CLASSES_ROOT]\n", "@=\"default\"\n", "\"Plain\"=\"hello world\"\n",
          "\"Quote\\\"And\\\\Slash\"=\"C:\\\\dir\\\\\\\"x\\\"\"\n", "\"Dword\"=dword:12345678\n",
          "\"BigEndian\"=hex(5):00,00,00,1e\n", "\"Multi\"=hex(7):61,00,62,00,00\n",
          "\"EmptyBinary\"=hex:\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // Long byte lists wrap like an export does, and no line grows unbounded.
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u);
        start = end + 1;
    }
}

TEST(RegFile, KeysMergeWithoutRegardToCaseAndKeepTheirFirstSpelling)
{
    RegTree tree;
    std::string error;
    ASSERT_TRUE(ParseRegFile("REGEDIT4\r\n\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\Soft\\MiXed]\r\n"
                             "\"A\"=\"1\"\r\n[hkey_local_machine\\SOFT\\mixed]\r\n\"a\"=\"2\"\r\n"
                             "\"B\"=hex:01,\\\r\n  02\r\n",
                             tree, error))
        << error;
    RegKeyNode* key = tree.roots[HKEY_LOCAL_MACHINE_KEY].findSubKey("soft")->findSubKey("MIXED");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->name, "MiXed");
    ASSERT_EQ(key->values.size(), 2u);
    EXPECT_EQ(key->values[0].first, "A");
    EXPECT_EQ(key->findValue("a")->bytes, (ByteArray{'2', 0}));
    EXPECT_EQ(key->findValue("b")->bytes, (ByteArray{1, 2}));
}

TEST(RegFile, DamagedTextIsRefused)
{
    std::string tooDeep = "REGEDIT4\n[HKEY_LOCAL_MACHINE";
    for (std::size_t i = 0; i <= kMaxKeyDepth; ++i)
        tooDeep += "\\k";
    const std::string damaged[] = {
        tooDeep + "]\n",
        "",
        "Windows Registry Editor Version 4.00\n",
        "REGEDIT4\n\"Orphan\"=\"value\"\n",
        "REGEDIT4\n[HKEY_NOWHERE\\Key]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key\n",
        "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Key]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"Open=\"x\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=\"unterminated\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=dword:123456789\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=dword:xyz\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=hex:1g\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=hex:123\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=hex(zz):00\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\n\"V\"=-\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Key]\nV=\"x\"\n",
        "\x01\x02garbage",
    };
    for (const std::string& text : damaged) {
        RegTree tree;
        std::string error;
        EXPECT_FALSE(ParseRegFile(text, tree, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

TEST(RegFile, PercentNamesExpandLikeWindows)
{
    auto lookup = [](const std::string& name, std::string& value) {
        if (name != "HOME" && name != "X")
            return false;
        value = name == "HOME" ? "/home/u" : "x";
        return true;
    };
    const std::pair<const char*, const char*> cases[] = {
        {"%HOME%/lists", "/home/u/lists"},
        {"%X%%X%", "xx"},
        {"a%UNKNOWN%b", "a%UNKNOWN%b"},
        {"%UNKNOWN%X%", "%UNKNOWN%X%"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"%%X%", "%%X%"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ExpandPercentVariables(in, lookup), out) << in;
}

} // namespace
} // namespace corvanta
