#include "layering/Floors.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace floors {

namespace fs = std::filesystem;

namespace {

std::string folderPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string featureOf(const Folder& f)
{
    return f.path.substr(0, f.path.find('/'));
}

std::string nodeId(const std::string& path)
{
    std::string id = path;
    std::replace(id.begin(), id.end(), '/', '_');
    return id;
}

}  // namespace

Table Table::parse(const std::string& text)
{
    Table table;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        int floor = 0;
        std::string kind;
        if (!(words >> floor))
            continue;  // blank or comment
        if (!(words >> kind) || (kind != "ground" && kind != "feature" && kind != "top"))
            throw std::runtime_error("floors table line " + std::to_string(number) + ": kind missing");
        std::string path;
        bool any = false;
        while (words >> path) {
            table.m_folders.push_back({path, floor, kind == "feature"});
            any = true;
        }
        if (!any)
            throw std::runtime_error("floors table line " + std::to_string(number) + ": no folder");
    }
    return table;
}

std::optional<Folder> Table::folderOf(const std::string& sourcePath) const
{
    // A folder is on a floor when the table names it: a folder below a listed one is not on the
    // floor of its parent, it needs a line of its own.
    const std::string dir = folderPart(sourcePath);
    for (const Folder& f : m_folders)
        if (f.path == dir)
            return f;
    return std::nullopt;
}

bool Table::allows(const Folder& from, const Folder& to) const
{
    if (from.path == to.path)
        return true;
    if (to.floor >= from.floor)
        return false;
    return !(from.feature && to.feature && featureOf(from) != featureOf(to));
}

std::vector<Include> includesOf(const std::string& file, const std::string& text,
                                const std::set<std::string>& sourceFiles)
{
    std::vector<Include> result;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    const std::string dir = folderPart(file);
    while (std::getline(lines, line)) {
        ++number;
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 1, "#") != 0)
            continue;
        auto pos = line.find_first_not_of(" \t", start + 1);
        if (pos == std::string::npos || line.compare(pos, 7, "include") != 0)
            continue;
        pos = line.find_first_not_of(" \t", pos + 7);
        const char open = pos == std::string::npos ? '\0' : line[pos];
        const auto close = open == '"' ? line.find('"', pos + 1) : open == '<' ? line.find('>', pos + 1) : std::string::npos;
        if (close == std::string::npos) {
            // A macro or a broken line: what it includes cannot be read, so it cannot be checked.
            result.push_back({file, number, std::string()});
            continue;
        }
        const std::string written = line.substr(pos + 1, close - pos - 1);
        // As the compiler looks: "..." first beside the including file, then (as <...>) in src/,
        // the one include folder of the program's libraries. "./", "../" and "//" are resolved.
        const auto normal = [](const std::string& p) { return fs::path(p).lexically_normal().generic_string(); };
        std::string target;
        if (open == '"' && sourceFiles.count(normal(dir.empty() ? written : dir + "/" + written)))
            target = normal(dir.empty() ? written : dir + "/" + written);
        else if (sourceFiles.count(normal(written)))
            target = normal(written);
        if (!target.empty())
            result.push_back({file, number, target});
    }
    return result;
}

std::vector<std::string> unlistedFolders(const Table& table, const std::set<std::string>& sourceFiles)
{
    std::set<std::string> unlisted;
    for (const std::string& f : sourceFiles)
        if (!table.folderOf(f))
            unlisted.insert(folderPart(f));
    return {unlisted.begin(), unlisted.end()};
}

Report check(const Table& table, const std::vector<Include>& includes)
{
    Report report;
    for (const Include& inc : includes) {
        if (inc.target.empty()) {
            report.violations.push_back({inc, "an include whose file cannot be read from the line"});
            continue;
        }
        const auto from = table.folderOf(inc.file);
        const auto to = table.folderOf(inc.target);
        if (!from) {
            report.violations.push_back({inc, "the folder of " + inc.file + " is on no floor"});
            continue;
        }
        if (!to) {
            report.violations.push_back({inc, "the folder of " + inc.target + " is on no floor"});
            continue;
        }
        if (from->path != to->path)
            ++report.edges[{from->path, to->path}];
        if (!table.allows(*from, *to)) {
            std::string why = from->path + " (floor " + std::to_string(from->floor) + ") may not include " + to->path +
                              " (floor " + std::to_string(to->floor) + ")";
            if (to->floor < from->floor)
                why += ": a sibling feature";
            report.violations.push_back({inc, why});
        }
    }
    return report;
}

std::vector<std::string> cycleMembers(const std::map<std::pair<std::string, std::string>, int>& edges)
{
    std::map<std::string, std::vector<std::string>> next;
    std::set<std::string> nodes;
    for (const auto& [edge, count] : edges) {
        next[edge.first].push_back(edge.second);
        nodes.insert(edge.first);
        nodes.insert(edge.second);
    }
    // A folder is in a cycle when it can reach itself.
    std::vector<std::string> members;
    for (const std::string& start : nodes) {
        std::set<std::string> seen;
        std::vector<std::string> stack(next[start].begin(), next[start].end());
        bool cyclic = false;
        while (!stack.empty() && !cyclic) {
            const std::string n = stack.back();
            stack.pop_back();
            if (n == start)
                cyclic = true;
            else if (seen.insert(n).second)
                stack.insert(stack.end(), next[n].begin(), next[n].end());
        }
        if (cyclic)
            members.push_back(start);
    }
    return members;
}

std::string picture(const Table& table, const std::map<std::pair<std::string, std::string>, int>& edges)
{
    std::map<int, std::vector<const Folder*>, std::greater<>> byFloor;
    for (const Folder& f : table.folders())
        byFloor[f.floor].push_back(&f);

    std::ostringstream out;
    out << "```mermaid\nflowchart TB\n";
    for (const auto& [floor, folders] : byFloor) {
        out << "  subgraph floor" << floor << "[\"floor " << floor << "\"]\n";
        for (const Folder* f : folders)
            out << "    " << nodeId(f->path) << "[\"" << f->path << "\"]\n";
        out << "  end\n";
    }
    for (const auto& [edge, count] : edges)
        out << "  " << nodeId(edge.first) << " --> " << nodeId(edge.second) << "\n";
    out << "```\n";
    return out.str();
}

}  // namespace floors
