#include "layering/Floors.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace floors {

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
    const std::string dir = folderPart(sourcePath);
    std::optional<Folder> best;
    for (const Folder& f : m_folders) {
        const bool inside = dir == f.path || dir.rfind(f.path + "/", 0) == 0;
        if (inside && (!best || f.path.size() > best->path.size()))
            best = f;
    }
    return best;
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
    while (std::getline(lines, line)) {
        ++number;
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 1, "#") != 0)
            continue;
        auto pos = line.find_first_not_of(" \t", start + 1);
        if (pos == std::string::npos || line.compare(pos, 7, "include") != 0)
            continue;
        const auto open = line.find('"', pos + 7);
        if (open == std::string::npos)
            continue;  // <system> include
        const auto close = line.find('"', open + 1);
        if (close == std::string::npos)
            continue;
        std::string target = line.substr(open + 1, close - open - 1);
        if (target.find('/') == std::string::npos) {
            const std::string dir = folderPart(file);
            target = dir.empty() ? target : dir + "/" + target;
        }
        if (sourceFiles.count(target))
            result.push_back({file, number, target});
    }
    return result;
}

Report check(const Table& table, const std::vector<Include>& includes)
{
    Report report;
    for (const Include& inc : includes) {
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
