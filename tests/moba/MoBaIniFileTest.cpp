#include "moba/MoBaIniFile.h"

#include "common/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

struct TempDir {
    TempDir()
    {
        std::string templ = (fs::temp_directory_path() / "quarn-ini-XXXXXX").string();
        path = ::mkdtemp(templ.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

TEST(MoBaIniFile, KeepsOrderCommentsAndUnknownLines)
{
    TMoBaIniFile ini("");
    ini.SetText("; header comment\n"
                "[B]\n"
                "z=1\n"
                "a = two words \n"
                "no equals sign\n"
                "; comment\n"
                "=no key\n"
                "[A]\r\n"
                "Key=x\r\n"
                "KEY=duplicate\r\n"
                "\r\n"
                "[unterminated\r\n"
                "after=3\r\n");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(ini.ReadSection("b"), (std::vector<std::string>{"z", "a"}));
    EXPECT_EQ(ini.ReadString("B", "A", ""), "two words");
    EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"Key", "after"}));
    EXPECT_EQ(ini.ReadString("a", "key", ""), "x");  // the first of two equal keys
    EXPECT_EQ(ini.ReadString("A", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Missing", "Key", "dflt"), "dflt");
    EXPECT_FALSE(ini.Modified());

    ini.WriteString("B", "new", "v");
    ini.WriteString("a", "KEY", "y");
    ini.WriteInteger("C", "n", -5);
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ini.Text(),
              "; header comment\r\n"
              "[B]\r\n"
              "z=1\r\n"
              "a=two words\r\n"
              "new=v\r\n"  // after the last key, above the lines that are no keys
              "no equals sign\r\n"
              "; comment\r\n"
              "=no key\r\n"
              "[A]\r\n"
              "Key=y\r\n"
              "KEY=duplicate\r\n"
              "\r\n"
              "[unterminated\r\n"
              "after=3\r\n"
              "[C]\r\n"
              "n=-5\r\n");
}

TEST(MoBaIniFile, NewKeysGoAboveTrailingBlankLines)
{
    TMoBaIniFile ini("");
    ini.SetText("[S]\r\na=1\r\n\r\n[T]\r\n");
    ini.WriteString("S", "b", "2");
    EXPECT_EQ(ini.Text(), "[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\n");
}

TEST(MoBaIniFile, EraseAndDelete)
{
    TMoBaIniFile ini("");
    ini.SetText("[S]\na=1\n[T]\nb=2\n[s]\nc=3\n");
    ini.EraseSection("S");  // both sections of that name
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"T"});
    EXPECT_FALSE(ini.SectionExists("s"));
    ini.DeleteKey("T", "B");
    EXPECT_FALSE(ini.ValueExists("T", "b"));
    EXPECT_TRUE(ini.SectionExists("T"));
    EXPECT_EQ(ini.Text(), "[T]\r\n");
}

// Many sections erased one by one (as a save over a long protocol list does) and written again.
TEST(MoBaIniFile, ManyErasedAndRewrittenSections)
{
    TMoBaIniFile ini("");
    for (int i = 0; i < 300; ++i)
        ini.WriteInteger("S" + std::to_string(i), "v", i);
    for (int i = 0; i < 300; i += 2)
        ini.EraseSection("s" + std::to_string(i));
    for (int i = 0; i < 300; i += 3)
        ini.WriteInteger("S" + std::to_string(i), "w", -i);
    std::vector<std::string> sections;
    std::string text;
    for (int i = 1; i < 300; i += 2) {
        sections.push_back("S" + std::to_string(i));
        text += "[S" + std::to_string(i) + "]\r\nv=" + std::to_string(i) + "\r\n";
        if (i % 3 == 0)
            text += "w=" + std::to_string(-i) + "\r\n";
    }
    for (int i = 0; i < 300; i += 6) {
        sections.push_back("S" + std::to_string(i));
        text += "[S" + std::to_string(i) + "]\r\nw=" + std::to_string(-i) + "\r\n";
    }
    EXPECT_EQ(ini.ReadSections(), sections);
    EXPECT_EQ(ini.Text(), text);
    EXPECT_EQ(ini.ReadInteger("S2", "v", -1), -1);
    EXPECT_EQ(ini.ReadInteger("S3", "v", -1), 3);
    EXPECT_EQ(ini.ReadInteger("S6", "w", 0), -6);
}

TEST(MoBaIniFile, ValuesSurviveARoundTrip)
{
    const std::string values[] = {
        "", "plain", " leading", "trailing ", "\"quoted\"", "'single'", "a=b=c", "; not a comment",
        "x\"y", "[not a section]", "M\xE4rklin",
    };
    TMoBaIniFile ini("");
    for (std::size_t i = 0; i < std::size(values); ++i)
        ini.WriteString("S", "k" + std::to_string(i), values[i]);
    TMoBaIniFile again("");
    again.SetText(ini.Text());
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(again.ReadString("S", "k" + std::to_string(i), "?"), values[i]) << values[i];

    // A line break would split the line: it becomes a blank.
    ini.WriteString("S", "broken", "one\r\ntwo");
    again.SetText(ini.Text());
    EXPECT_EQ(again.ReadString("S", "broken", ""), "one  two");
    EXPECT_EQ(again.ReadSection("S").size(), std::size(values) + 1);
}

TEST(MoBaIniFile, IntegersAndTheirDefaults)
{
    const struct {
        const char* text;
        std::int32_t expected;
    } cases[] = {
        {"12", 12},   {" -7 ", -7},          {"+3", 3},          {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},     {"2147483648", 99}, {"-2147483649", 99},
        {"", 99},     {"abc", 99},           {"12abc", 99},      {"1.5", 99},
        {"--1", 99},  {"+", 99},             {"0x10", 99},       {"99999999999999999999999", 99},
    };
    for (const auto& c : cases) {
        TMoBaIniFile ini("");
        ini.WriteString("S", "k", c.text);
        EXPECT_EQ(ini.ReadInteger("S", "k", 99), c.expected) << '"' << c.text << '"';
    }
    TMoBaIniFile ini("");
    EXPECT_EQ(ini.ReadInteger("S", "missing", 42), 42);
}

TEST(MoBaIniFile, ReadsAndWritesTheFile)
{
    TempDir dir;
    const fs::path file = dir.path / "p.mpr";
    {
        TMoBaIniFile missing(file.string());
        EXPECT_EQ(missing.LoadError(), "");
        EXPECT_EQ(missing.UpdateFile(), "");  // nothing to write
        EXPECT_FALSE(fs::exists(file));
        missing.WriteString("S", "k", "v");
        EXPECT_EQ(missing.UpdateFile(), "");
        EXPECT_FALSE(missing.Modified());
    }
    EXPECT_EQ(readFile(file), "[S]\r\nk=v\r\n");
    TMoBaIniFile ini(file.string());
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");

    // Binary junk reads without harm.
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 37) % 256);
    writeFile(file, junk + "\n[S]\nk=w");
    TMoBaIniFile fromJunk(file.string());
    EXPECT_EQ(fromJunk.ReadString("S", "k", ""), "w");

    TMoBaIniFile inMissingDir((dir.path / "no" / "such.mpr").string());
    inMissingDir.WriteString("S", "k", "v");
    EXPECT_NE(inMissingDir.UpdateFile(), "");
    EXPECT_TRUE(inMissingDir.Modified());

    TMoBaIniFile aDirectory(dir.path.string());
    EXPECT_NE(aDirectory.LoadError(), "");
}

TEST(MoBaIniFile, AFailedWriteLeavesTheOldFileWhole)
{
    TempDir dir;
    const fs::path file = dir.path / "p.mpr";
    const std::string old = "[Old]\r\nKeep=1\r\n";
    writeFile(file, old);
    TMoBaIniFile ini(file.string());
    ini.WriteString("New", "Big", std::string(8192, 'x'));
    std::string error;
    {
        testsupport::FileSizeLimit limit(1024);
        error = ini.UpdateFile();
    }
    EXPECT_NE(error, "");
    EXPECT_EQ(readFile(file), old);
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);  // no temporary left
    EXPECT_EQ(ini.UpdateFile(), "");
    EXPECT_EQ(TMoBaIniFile(file.string()).ReadString("New", "Big", "").size(), 8192u);
}

}  // namespace
