#pragma once
// Reading a connection string of the form "Key=Value;Key=Value;...".
//
// The program builds its connection string by pasting the executable's folder
// in unchanged, so the value of "Data Source" may itself hold semicolons,
// blanks, equals signs and any letters. The parser therefore lets the data
// source run on until a semicolon that is followed by a keyword it knows, and
// only then starts the next pair. Any value may also be written in double or
// single quotes (a quote inside doubled), which ends all doubt.

#include <QString>
#include <utility>
#include <vector>

class ConnectionString {
public:
    // Splits text into its pairs; throws Exception when a part has no '='
    // or a quoted value is not closed.
    static ConnectionString parse(const QString& text);

    // The value of a keyword (compared without regard to case), or a null
    // QString when the keyword is absent. A keyword given twice: the last wins.
    QString value(const QString& keyword) const;
    bool contains(const QString& keyword) const { return !value(keyword).isNull(); }

    const std::vector<std::pair<QString, QString>>& entries() const { return m_entries; }

    // The connection string of the register file at path, the path
    // pasted in unchanged.
    static QString forFile(const QString& path);
    // The connection string of a register named by a person: a server's
    // URI as it is, a file's path made absolute from the current folder.
    static QString forRegister(const QString& name);

private:
    std::vector<std::pair<QString, QString>> m_entries;
};
