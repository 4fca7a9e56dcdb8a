// The source tree's floors hold: every #include under src/ looks down a floor or into its own
// folder, never into a sibling feature, and docs/architecture.md draws the house the code has.

#include "layering/Floors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path SourceDir = fs::path(QUARN_SOURCE_DIR) / "src";

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

floors::Table table()
{
    return floors::Table::parse(readFile(SourceDir / "floors.txt"));
}

struct Tree {
    std::set<std::string> files;
    std::vector<floors::Include> includes;
};

Tree sourceTree()
{
    Tree tree;
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(SourceDir)) {
        const auto ext = entry.path().extension();
        if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp")) {
            paths.push_back(entry.path());
            tree.files.insert(fs::relative(entry.path(), SourceDir).generic_string());
        }
    }
    for (const fs::path& p : paths) {
        const std::string rel = fs::relative(p, SourceDir).generic_string();
        auto found = floors::includesOf(rel, readFile(p), tree.files);
        tree.includes.insert(tree.includes.end(), found.begin(), found.end());
    }
    return tree;
}

std::string describe(const std::vector<floors::Violation>& violations)
{
    std::string text;
    for (const auto& v : violations)
        text += "src/" + v.include.file + ":" + std::to_string(v.include.line) + ": " +
                (v.include.target.empty() ? std::string("#include ?") : "#include \"" + v.include.target + "\"") +
                ": " + v.why + "\n";
    return text;
}

}  // namespace

TEST(Layering, EveryIncludeUnderSrcLooksDownOrIntoItsOwnFolder)
{
    const Tree tree = sourceTree();
    ASSERT_GT(tree.files.size(), 100u) << "the source tree was not found at " << SourceDir;
    ASSERT_GT(tree.includes.size(), 300u);
    const auto report = floors::check(table(), tree.includes);
    EXPECT_TRUE(report.violations.empty()) << describe(report.violations);
    EXPECT_TRUE(floors::cycleMembers(report.edges).empty());

    // Every folder that holds code is in the table, and every folder of the table holds code, so
    // the table cannot drift from the tree.
    // (Planted: src/extra/Planted.h without includes and src/panel/extra/Planted.h including
    // base/AppState.h both passed while a folder took its parent's floor; they now fail with
    // "unlistedFolders(...) Which is: { "extra", "panel/extra" }".)
    // The table is held for the loop: folders() is a reference into it.
    const auto floorsTable = table();
    EXPECT_EQ(floors::unlistedFolders(floorsTable, tree.files), std::vector<std::string>{})
        << "folders under src/ that src/floors.txt does not list";
    for (const auto& folder : floorsTable.folders()) {
        EXPECT_TRUE(std::any_of(tree.files.begin(), tree.files.end(),
                                [&](const std::string& f) {
                                    const auto in = floorsTable.folderOf(f);
                                    return in && in->path == folder.path;
                                }))
            << folder.path << " is in the floors table but holds no file";
    }
}

TEST(Layering, OnlyTheTopFloorKnowsTheMainWindow)
{
    for (const auto& inc : sourceTree().includes) {
        if (inc.target == "app/TMainForm.h") {
            EXPECT_EQ(inc.file.rfind("app/", 0), 0u) << inc.file << " includes the main window";
        }
    }
}

TEST(Layering, ArchitecturePictureIsTheHouseTheCodeHas)
{
    const auto report = floors::check(table(), sourceTree().includes);
    const std::string expected = floors::picture(table(), report.edges);
    const std::string doc = readFile(fs::path(QUARN_SOURCE_DIR) / "docs" / "architecture.md");
    const std::string begin = "<!-- floors:begin -->\n", end = "<!-- floors:end -->";
    const auto from = doc.find(begin), to = doc.find(end);
    ASSERT_NE(from, std::string::npos) << "docs/architecture.md lacks the floors picture";
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(doc.substr(from + begin.size(), to - from - begin.size()), expected)
        << "docs/architecture.md is out of step; put this between the floors markers:\n"
        << expected;
}

// The check itself: includes planted into a small tree, each with the verdict it must get, in every
// form the compiler takes. (Planted in the real tree, "#include <panel/Cbahn.h>" and
// "#include \"../panel/Cbahn.h\"" as the first lines of src/loco/LocoCommand.cpp both compile; both
// passed while only "..." lines were read and "../" was not resolved, and both now fail:
// "src/loco/LocoCommand.cpp:1: #include "panel/Cbahn.h": loco (floor 5) may not include panel
// (floor 5)", the same for line 2.)
TEST(Layering, PlantedIncludesGetTheirVerdict)
{
    const std::set<std::string> files = {"srcp/A.h",  "moba/B.h",       "base/AppState.h", "layout/L.h",
                                         "panel/P.h", "panel/widgets/W.h", "loco/T.h",     "loco/widgets/R.h",
                                         "app/TMainForm.h", "tools/X.h", "panel/extra/E.h"};
    struct Case {
        const char* file;
        const char* line;
        bool allowed;
    };
    const Case cases[] = {
        {"base/AppState.cpp", "#include \"app/TMainForm.h\"", false},  // up to the top floor
        {"srcp/A.cpp", "#include \"moba/B.h\"", false},                // up one floor
        {"loco/T.cpp", "#include \"panel/P.h\"", false},               // a sibling feature
        {"loco/T.cpp", "#include <panel/P.h>", false},                 // the same, from the include folder
        {"loco/T.cpp", "#include \"../panel/P.h\"", false},            // the same, beside the file
        {"loco/T.cpp", "  #  include   \"panel//./P.h\"  // why", false},
        {"loco/widgets/R.cpp", "#include \"../../panel/P.h\"", false},
        {"panel/widgets/W.cpp", "#include \"loco/T.h\"", false},       // a sibling feature's model, a floor down
        {"panel/widgets/W.cpp", "#include \"loco/widgets/R.h\"", false},
        {"panel/P.cpp", "#include \"panel/widgets/W.h\"", false},      // a model up into its own widgets
        {"panel/P.cpp", "#include \"widgets/W.h\"", false},            // the same, beside the file
        {"layout/L.cpp", "#include \"tools/X.h\"", false},             // a folder on no floor
        {"panel/P.cpp", "#include \"panel/extra/E.h\"", false},        // a folder below a floor is on none
        {"panel/extra/E.cpp", "#include \"base/AppState.h\"", false},
        {"panel/P.cpp", "#include PANEL_HEADER", false},               // cannot be read, cannot be checked
        {"panel/widgets/W.cpp", "#include \"panel/P.h\"", true},       // own model
        {"panel/widgets/W.cpp", "#include \"W.h\"", true},             // own folder, no path
        {"panel/widgets/W.cpp", "#include \"./W.h\"", true},
        {"panel/widgets/W.cpp", "#include \"../P.h\"", true},
        {"panel/P.cpp", "#include <layout/L.h>", true},
        {"app/C.cpp", "#include \"loco/widgets/R.h\"", true},
        {"moba/B.cpp", "#include \"srcp/A.h\"", true},
    };
    const auto t = table();
    for (const Case& c : cases) {
        const auto includes = floors::includesOf(c.file, std::string(c.line) + "\n", files);
        ASSERT_EQ(includes.size(), 1u) << c.file << ": " << c.line;
        const auto report = floors::check(t, includes);
        EXPECT_EQ(report.violations.empty(), c.allowed) << c.file << ": " << c.line << "\n" << describe(report.violations);
    }

    // Lines that include no file of the tree are not read as one.
    EXPECT_TRUE(floors::includesOf("base/X.cpp",
                                   "#include <QString>\n#include <string>\n// #include \"app/TMainForm.h\"\n"
                                   "#include \"W.h\"\n",
                                   files)
                    .empty());
    // Every folder that holds a file must be in the table, a folder below a listed one too.
    EXPECT_EQ(floors::unlistedFolders(t, files), (std::vector<std::string>{"panel/extra", "tools"}));
    // A cycle between two folders is found.
    EXPECT_EQ(floors::cycleMembers({{{"a", "b"}, 1}, {{"b", "a"}, 2}, {{"b", "c"}, 1}}),
              (std::vector<std::string>{"a", "b"}));
}
