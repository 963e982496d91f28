#pragma once
// Reading the tables of a Jet 3, Jet 4 or ACE database file (an Access
// register) row by row, through libmdb.
//
// Whole numbers are read as stored. Text is decoded here from the bytes the
// file holds, not through the library's own conversion, which turns every
// character outside the basic plane into "??": Jet 4 and ACE text is UTF-16,
// often in Access's compressed form, and Jet 3 text is in the Windows code
// page the file records (or one the user names). NULL stays apart from the
// empty text.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class JetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class JetKind { Integer, Text, Other };

struct JetColumn {
    std::string name;
    JetKind kind = JetKind::Other;
    std::string typeName; // as Access names it: "Long Integer", "Text", ...
};

struct JetValue {
    bool null = true;
    std::int64_t integer = 0; // JetKind::Integer
    std::string text;         // JetKind::Text, UTF-8
};

class JetTable {
public:
    virtual ~JetTable() = default;
    virtual const std::string& name() const = 0;
    virtual const std::vector<JetColumn>& columns() const = 0;
    // The column whose name equals name without regard to case; -1 if none.
    int columnIndex(const std::string& name) const;
    // The number of rows the table's definition records.
    virtual std::int64_t rowCount() const = 0;
    // Reads the next row into values (one per column); false at the end.
    // Throws JetError when a value cannot be decoded.
    virtual bool next(std::vector<JetValue>& values) = 0;
};

class JetFile {
public:
    // Opens path read-only. codePage 0: Jet 3 text in the code page the file
    // records. Throws JetError with a message that names the file.
    explicit JetFile(const std::string& path, int codePage = 0);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    // "Jet 3", "Jet 4", "ACE".
    std::string formatName() const;
    bool isJet3() const;
    // The Windows code page Jet 3 text is read in.
    int codePage() const { return m_codePage; }
    std::vector<std::string> tableNames() const;
    // The table whose name equals name without regard to case; null if none.
    std::unique_ptr<JetTable> table(const std::string& name) const;

    // Why path cannot be read as a Jet or ACE file ("" when it looks like one).
    static std::string whyNotJet(const std::string& path);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    int m_codePage = 0;
};

// Decodes the bytes of a Jet 4 / ACE text value (UTF-16LE, or compressed
// when it starts with FF FE) to UTF-8. Throws JetError on a broken value.
std::string decodeJet4Text(const unsigned char* bytes, std::size_t size);
