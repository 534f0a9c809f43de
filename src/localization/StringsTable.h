#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace korvalen {

// One string table in Apple's strings-file format: `"key" = "value";` entries (a lone `"key";`
// maps the key to itself), `/* */` and `//` comments, unquoted keys and values of letters,
// digits and `_$/:.-`, and in quoted texts the escapes \n \t \r \" \\ and \UXXXX (a surrogate
// pair written as two escapes makes one character). Files are UTF-8, or UTF-16 with a byte-order
// mark.
//
// Reading never fails: a fault in the text ends the table there, keeping the entries before it,
// and is remembered in isComplete(), so that a broken translation degrades to the development
// texts of the entries after the fault instead of taking the interface down.
class StringsTable {
public:
    StringsTable() = default;

    static StringsTable fromData(const QByteArray& data);
    // None when the file cannot be read.
    static std::optional<StringsTable> fromFile(const QString& path);

    // A key given twice keeps its last value.
    std::optional<QString> value(const QString& key) const;
    const QHash<QString, QString>& entries() const { return m_entries; }
    // False when the text had a fault (a syntax error or bytes that are not valid in the
    // encoding); the entries after the fault are missing then.
    bool isComplete() const { return m_isComplete; }

private:
    QHash<QString, QString> m_entries;
    bool m_isComplete = true;
};

} // namespace korvalen
