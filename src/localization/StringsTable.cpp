#include "localization/StringsTable.h"

#include <QFile>
#include <QStringDecoder>

namespace korvalen {

namespace {

// The text of a strings file: UTF-16 when it starts with a UTF-16 byte-order mark, otherwise
// UTF-8 (with or without its mark). Invalid bytes become U+FFFD and clear `isValid`.
QString decodedText(const QByteArray& data, bool& isValid)
{
    auto encoding = QStringConverter::Utf8;
    qsizetype markLength = 0;
    if (data.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        markLength = 2;
    }
    else if (data.startsWith("\xFE\xFF")) {
        encoding = QStringConverter::Utf16BE;
        markLength = 2;
    }
    else if (data.startsWith("\xEF\xBB\xBF")) {
        markLength = 3;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder(QByteArrayView(data).sliced(markLength));
    isValid = !decoder.hasError();
    return text;
}

bool isUnquotedTextCharacter(QChar c)
{
    static const QString punctuation = QStringLiteral("_$/:.-");
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           punctuation.contains(c);
}

int hexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// A \U escape may write half of a surrogate pair; the two halves make one character only when
// they follow each other. A half left alone would be an invalid string, so it is replaced.
QString withLoneSurrogatesReplaced(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// Reads entries in order and stops at the first fault.
class StringsFileParser {
public:
    explicit StringsFileParser(QStringView text)
        : m_text(text)
    {
    }

    // Adds the entries up to the end or the first fault; true when the end was reached.
    bool parse(QHash<QString, QString>& entries)
    {
        while (skipSpaceAndComments()) {
            if (atEnd())
                return true;
            const auto key = readText();
            if (!key || !skipSpaceAndComments())
                return false;
            if (consume(u';')) {
                entries.insert(*key, *key);
                continue;
            }
            if (!consume(u'=') || !skipSpaceAndComments())
                return false;
            const auto value = readText();
            if (!value || !skipSpaceAndComments() || !consume(u';'))
                return false;
            entries.insert(*key, *value);
        }
        return false;
    }

private:
    bool atEnd() const { return m_position >= m_text.size(); }
    QChar peek(qsizetype offset = 0) const
    {
        const qsizetype at = m_position + offset;
        return at < m_text.size() ? m_text.at(at) : QChar();
    }
    bool consume(QChar expected)
    {
        if (atEnd() || peek() != expected)
            return false;
        ++m_position;
        return true;
    }

    // False only for a block comment without its end.
    bool skipSpaceAndComments()
    {
        while (!atEnd()) {
            if (peek().isSpace()) {
                ++m_position;
            }
            else if (peek() == u'/' && peek(1) == u'/') {
                while (!atEnd() && peek() != u'\n' && peek() != u'\r')
                    ++m_position;
            }
            else if (peek() == u'/' && peek(1) == u'*') {
                const qsizetype end = m_text.indexOf(u"*/", m_position + 2);
                if (end < 0)
                    return false;
                m_position = end + 2;
            }
            else {
                return true;
            }
        }
        return true;
    }

    std::optional<QString> readText()
    {
        if (consume(u'"'))
            return readQuotedRest();
        const qsizetype start = m_position;
        while (!atEnd() && isUnquotedTextCharacter(peek()))
            ++m_position;
        if (m_position == start)
            return std::nullopt;
        return m_text.sliced(start, m_position - start).toString();
    }

    // After the opening quotation mark, up to and including the closing one.
    std::optional<QString> readQuotedRest()
    {
        QString text;
        while (!atEnd()) {
            const QChar c = m_text.at(m_position++);
            if (c == u'"')
                return withLoneSurrogatesReplaced(std::move(text));
            if (c != u'\\') {
                text.append(c);
                continue;
            }
            if (atEnd() || !appendEscaped(text))
                return std::nullopt;
        }
        return std::nullopt;
    }

    // After a backslash. An escaped character without a meaning of its own stands for itself.
    bool appendEscaped(QString& text)
    {
        const QChar c = m_text.at(m_position++);
        switch (c.unicode()) {
        case u'n':
            text.append(u'\n');
            return true;
        case u't':
            text.append(u'\t');
            return true;
        case u'r':
            text.append(u'\r');
            return true;
        case u'U':
        case u'u':
            return appendUnicodeEscape(text);
        default:
            text.append(c);
            return true;
        }
    }

    // One to four hexadecimal digits, one UTF-16 code unit.
    bool appendUnicodeEscape(QString& text)
    {
        char16_t unit = 0;
        int digits = 0;
        for (; digits < 4 && !atEnd(); ++digits) {
            const int value = hexDigitValue(peek());
            if (value < 0)
                break;
            unit = char16_t(unit * 16 + value);
            ++m_position;
        }
        if (digits == 0)
            return false;
        text.append(QChar(unit));
        return true;
    }

    QStringView m_text;
    qsizetype m_position = 0;
};

} // namespace

StringsTable StringsTable::fromData(const QByteArray& data)
{
    StringsTable table;
    bool isValidText = true;
    const QString text = decodedText(data, isValidText);
    const bool reachedEnd = StringsFileParser(text).parse(table.m_entries);
    table.m_isComplete = isValidText && reachedEnd;
    return table;
}

std::optional<StringsTable> StringsTable::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromData(file.readAll());
}

std::optional<QString> StringsTable::value(const QString& key) const
{
    const auto found = m_entries.constFind(key);
    if (found == m_entries.constEnd())
        return std::nullopt;
    return *found;
}

} // namespace korvalen
