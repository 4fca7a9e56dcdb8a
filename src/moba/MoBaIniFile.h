#pragma once
// An ini-style profile file held in memory: sections in square brackets, "key=value" lines below
// them. Sections and keys keep the order of the file; new keys go to the end of their section, new
// sections to the end of the file. Names of sections and keys compare without regard to ASCII case,
// values are returned as written (surrounding blanks removed). Lines that are neither a section, a
// key nor a comment are kept as they are but never read as keys.
//
// Changes stay in memory until UpdateFile, which writes the whole text to a temporary file and
// renames it over the old one, so a failed write leaves the old file as it was.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMoBaIniFile {
public:
    // Reads FileName if it exists; a missing or unreadable file gives an empty profile
    // (LoadError tells why an existing file could not be read).
    explicit TMoBaIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }
    const std::string& LoadError() const { return FLoadError; }
    // True while there are changes that UpdateFile has not written yet.
    bool Modified() const { return FModified; }

    std::string ReadString(std::string_view Section, std::string_view Key, std::string_view Default) const;
    // Default unless the value is a decimal integer (optional sign) within 32 bits.
    std::int32_t ReadInteger(std::string_view Section, std::string_view Key, std::int32_t Default) const;
    void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
    void WriteInteger(std::string_view Section, std::string_view Key, std::int32_t Value);

    bool SectionExists(std::string_view Section) const;
    bool ValueExists(std::string_view Section, std::string_view Key) const;
    // Key names of Section in file order, each once.
    std::vector<std::string> ReadSection(std::string_view Section) const;
    // Section names in file order, each once.
    std::vector<std::string> ReadSections() const;
    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view Section);
    void DeleteKey(std::string_view Section, std::string_view Key);

    // The file's text as UpdateFile writes it (lines end in CR LF).
    std::string Text() const;
    // Writes the text if there are changes. Empty on success, otherwise why the file could not be
    // written; the old file is then untouched and the changes stay pending.
    std::string UpdateFile();

    // Replaces the contents with the given text, as if read from the file.
    void SetText(std::string_view Text);

private:
    // Names compare without regard to ASCII case: hashed and compared as folded, without making a
    // folded copy of every name looked up.
    struct TFoldedHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view Name) const noexcept;
    };
    struct TFoldedEqual {
        using is_transparent = void;
        bool operator()(std::string_view A, std::string_view B) const noexcept;
    };
    template <typename T>
    using TNameMap = std::unordered_map<std::string, T, TFoldedHash, TFoldedEqual>;

    struct TLine {
        std::string Key;   // empty for a line that is not a key
        std::string Value;
        std::string Raw;   // the line as read, for lines that are not keys
    };
    struct TSection {
        std::string Name;
        std::vector<TLine> Lines;
        // Key name (any case) -> index in Lines of its first line, so that big files stay fast.
        TNameMap<std::size_t> Keys;
        bool Erased = false;  // left out of everything until the list is compacted
        void AddLine(TLine Line);
        void Reindex();
    };

    const TSection* FindSection(std::string_view Name) const;
    TSection* FindSection(std::string_view Name);
    static const TLine* FindKey(const TSection& S, std::string_view Key);
    void AddSection(std::string Name);
    void Reindex();

    std::string FFileName;
    std::string FLoadError;
    std::vector<std::string> FHeader;  // lines before the first section
    std::vector<TSection> FSections;
    // Name (any case) -> positions in FSections of the sections of that name that are not erased.
    TNameMap<std::vector<std::size_t>> FSectionIndex;
    std::size_t FErasedCount = 0;
    bool FModified = false;
};
