#include "moba/MoBaIniFile.h"

#include "moba/MoBaFileReplace.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return static_cast<unsigned char>(c - 'A') < 26u ? static_cast<char>(c - 'A' + 'a') : c;
}

// A line break inside a name or value would split the line; it becomes a blank.
std::string oneLine(std::string_view s)
{
    std::string result(s);
    for (char& c : result)
        if (c == '\r' || c == '\n')
            c = ' ';
    return result;
}

bool quoted(std::string_view s)
{
    return s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front();
}

// Values are read trimmed and without one pair of enclosing quotes; a value that would lose
// something that way is written in double quotes.
std::string encodeValue(std::string_view value)
{
    std::string text = oneLine(value);
    if (!text.empty() && (isBlank(text.front()) || isBlank(text.back()) || quoted(text)))
        return '"' + text + '"';
    return text;
}

std::string decodeValue(std::string_view raw)
{
    raw = trim(raw);
    if (quoted(raw))
        raw = raw.substr(1, raw.size() - 2);
    return std::string(raw);
}

bool readWholeFile(const std::string& name, std::string& text, std::string& error)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"), std::fclose);
    if (!file) {
        if (errno != ENOENT)
            error = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, n);
    if (std::ferror(file.get())) {
        error = std::strerror(errno);
        text.clear();
        return false;
    }
    return true;
}

}  // namespace

std::size_t TMoBaIniFile::TFoldedHash::operator()(std::string_view Name) const noexcept
{
    std::size_t h = 14695981039346656037ull;  // FNV-1a
    for (const char c : Name)
        h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

bool TMoBaIniFile::TFoldedEqual::operator()(std::string_view A, std::string_view B) const noexcept
{
    if (A.size() != B.size())
        return false;
    if (A == B)
        return true;  // the usual case: a name asked for as it was written
    for (std::size_t i = 0; i < A.size(); ++i)
        if (lower(A[i]) != lower(B[i]))
            return false;
    return true;
}

TMoBaIniFile::TMoBaIniFile(std::string FileName) : FFileName(std::move(FileName))
{
    std::string text;
    if (!FFileName.empty() && readWholeFile(FFileName, text, FLoadError))
        SetText(text);
}

void TMoBaIniFile::SetText(std::string_view Text)
{
    FHeader.clear();
    FSections.clear();
    FSectionIndex.clear();
    FErasedCount = 0;
    while (!Text.empty()) {
        const std::size_t end = Text.find('\n');
        std::string_view line = Text.substr(0, end);
        Text = end == std::string_view::npos ? std::string_view{} : Text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view t = trim(line);
        if (!t.empty() && t.front() == '[') {
            const std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                AddSection(std::string(trim(t.substr(1, close - 1))));
                continue;
            }
        }
        TLine entry;
        const std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && t.front() != '#' && eq != std::string_view::npos &&
            !trim(t.substr(0, eq)).empty()) {
            entry.Key = std::string(trim(t.substr(0, eq)));
            entry.Value = decodeValue(t.substr(eq + 1));
        } else {
            entry.Raw = std::string(line);
        }
        if (FSections.empty())
            FHeader.push_back(entry.Key.empty() ? entry.Raw : std::string(line));
        else
            FSections.back().AddLine(std::move(entry));
    }
    FModified = false;
}

void TMoBaIniFile::TSection::AddLine(TLine Line)
{
    if (!Line.Key.empty())
        Keys.try_emplace(Line.Key, Lines.size());
    if (Lines.empty())
        Lines.reserve(8);  // a section has a few keys: no growing one line at a time
    Lines.push_back(std::move(Line));
}

void TMoBaIniFile::TSection::Reindex()
{
    Keys.clear();
    for (std::size_t i = 0; i < Lines.size(); ++i)
        if (!Lines[i].Key.empty())
            Keys.try_emplace(Lines[i].Key, i);
}

void TMoBaIniFile::AddSection(std::string Name)
{
    FSectionIndex[Name].push_back(FSections.size());
    FSections.push_back(TSection{std::move(Name), {}, {}, false});
}

void TMoBaIniFile::Reindex()
{
    std::erase_if(FSections, [](const TSection& s) { return s.Erased; });
    FErasedCount = 0;
    FSectionIndex.clear();
    for (std::size_t i = 0; i < FSections.size(); ++i)
        FSectionIndex[FSections[i].Name].push_back(i);
}

const TMoBaIniFile::TSection* TMoBaIniFile::FindSection(std::string_view Name) const
{
    const auto it = FSectionIndex.find(Name);
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second.front()];
}

TMoBaIniFile::TSection* TMoBaIniFile::FindSection(std::string_view Name)
{
    return const_cast<TSection*>(static_cast<const TMoBaIniFile*>(this)->FindSection(Name));
}

const TMoBaIniFile::TLine* TMoBaIniFile::FindKey(const TSection& S, std::string_view Key)
{
    const auto it = S.Keys.find(Key);
    return it == S.Keys.end() ? nullptr : &S.Lines[it->second];
}

std::string TMoBaIniFile::ReadString(std::string_view Section, std::string_view Key,
                                     std::string_view Default) const
{
    if (const TSection* s = FindSection(Section))
        if (const TLine* l = FindKey(*s, Key))
            return l->Value;
    return std::string(Default);
}

std::int32_t TMoBaIniFile::ReadInteger(std::string_view Section, std::string_view Key, std::int32_t Default) const
{
    const std::string text = ReadString(Section, Key, {});
    std::string_view digits = trim(text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() < '0' || digits.front() > '9')
        return Default;
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (ec != std::errc{} || end != digits.data() + digits.size())
        return Default;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (magnitude > limit)
        return Default;
    const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(value);
}

void TMoBaIniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value)
{
    const std::string key = oneLine(trim(Key));
    TSection* s = FindSection(Section);
    if (!s) {
        AddSection(oneLine(trim(Section)));
        s = &FSections.back();
    }
    TLine* l = const_cast<TLine*>(FindKey(*s, key));
    if (l) {
        l->Value = std::string(Value);
    } else {
        // After the last key, so that blank lines and comments ending a section stay below it; only
        // lines that are no keys move, so the key index stays valid.
        std::size_t pos = s->Lines.size();
        while (pos > 0 && s->Lines[pos - 1].Key.empty())
            --pos;
        s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(pos), TLine{key, std::string(Value), {}});
        s->Keys.try_emplace(key, pos);
    }
    FModified = true;
}

void TMoBaIniFile::WriteInteger(std::string_view Section, std::string_view Key, std::int32_t Value)
{
    WriteString(Section, Key, std::to_string(Value));
}

bool TMoBaIniFile::SectionExists(std::string_view Section) const
{
    return FindSection(Section) != nullptr;
}

bool TMoBaIniFile::ValueExists(std::string_view Section, std::string_view Key) const
{
    const TSection* s = FindSection(Section);
    return s && FindKey(*s, Key);
}

std::vector<std::string> TMoBaIniFile::ReadSection(std::string_view Section) const
{
    std::vector<std::string> keys;
    if (const TSection* s = FindSection(Section))
        for (const TLine& l : s->Lines)
            if (!l.Key.empty() && FindKey(*s, l.Key) == &l)  // the first of equal keys only
                keys.push_back(l.Key);
    return keys;
}

std::vector<std::string> TMoBaIniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const TSection& s : FSections)
        if (!s.Erased && FindSection(s.Name) == &s)
            names.push_back(s.Name);
    return names;
}

void TMoBaIniFile::EraseSection(std::string_view Section)
{
    const auto it = FSectionIndex.find(Section);
    if (it == FSectionIndex.end())
        return;
    for (std::size_t i : it->second)
        FSections[i].Erased = true;
    FErasedCount += it->second.size();
    FSectionIndex.erase(it);
    FModified = true;
    // Erasing many sections one by one stays linear: the list is compacted only now and then.
    if (FErasedCount > 64 && FErasedCount * 2 > FSections.size())
        Reindex();
}

void TMoBaIniFile::DeleteKey(std::string_view Section, std::string_view Key)
{
    TSection* s = FindSection(Section);
    if (!s)
        return;
    const auto before = s->Lines.size();
    std::erase_if(s->Lines, [&](const TLine& l) { return !l.Key.empty() && TFoldedEqual{}(l.Key, Key); });
    if (s->Lines.size() != before) {
        s->Reindex();
        FModified = true;
    }
}

std::string TMoBaIniFile::Text() const
{
    // Appended piece by piece, without a temporary string per line.
    std::string text;
    for (const std::string& line : FHeader)
        text.append(line).append("\r\n");
    for (const TSection& s : FSections) {
        if (s.Erased)
            continue;
        text.append(1, '[').append(s.Name).append("]\r\n");
        for (const TLine& l : s.Lines) {
            if (l.Key.empty())
                text.append(l.Raw);
            else
                text.append(l.Key).append(1, '=').append(encodeValue(l.Value));
            text.append("\r\n");
        }
    }
    return text;
}

std::string TMoBaIniFile::UpdateFile()
{
    if (!FModified)
        return {};
    std::string error = MoBaReplaceFileContents(FFileName, Text());
    if (error.empty())
        FModified = false;
    return error;
}
