#pragma once
// The floors of the source tree (src/floors.txt) and the rule they make for #include lines.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace floors {

struct Folder {
    std::string path;  // "panel/widgets"
    int floor = 0;
    bool feature = false;
};

class Table {
public:
    // Reads the table's text; throws std::runtime_error on a line it cannot read.
    static Table parse(const std::string& text);

    // The folder a source path is in, if the table lists that folder itself.
    std::optional<Folder> folderOf(const std::string& sourcePath) const;
    // May a file of `from` include a file of `to`?
    bool allows(const Folder& from, const Folder& to) const;

    const std::vector<Folder>& folders() const { return m_folders; }

private:
    std::vector<Folder> m_folders;
};

// One #include line of a file under src/.
struct Include {
    std::string file;    // "panel/LayoutPanel.cpp"
    int line = 0;
    std::string target;  // "base/AppState.h"; empty when the line names no file ("#include MACRO")
};

// Every #include of a file's text that names a file under src/ (given as the set of paths that
// exist there), in any form the compiler takes: "..." (first beside the file, then from src/),
// <...> (from src/, the libraries' include folder), with "./", "../" and doubled slashes resolved.
// An include whose file cannot be read from the line is returned with an empty target.
std::vector<Include> includesOf(const std::string& file, const std::string& text,
                                const std::set<std::string>& sourceFiles);

// Folders that hold source files but are not in the table, so the table cannot miss a folder.
std::vector<std::string> unlistedFolders(const Table& table, const std::set<std::string>& sourceFiles);

struct Violation {
    Include include;
    std::string why;
};

// Folder -> folder include counts, and every include the table does not allow.
struct Report {
    std::map<std::pair<std::string, std::string>, int> edges;
    std::vector<Violation> violations;
};
Report check(const Table& table, const std::vector<Include>& includes);

// Folders that take part in a cycle of the folder graph (empty when it has none).
std::vector<std::string> cycleMembers(const std::map<std::pair<std::string, std::string>, int>& edges);

// The picture of the house for docs/architecture.md: a Mermaid graph of the floors with the folder
// edges that the code has.
std::string picture(const Table& table, const std::map<std::pair<std::string, std::string>, int>& edges);

}  // namespace floors
