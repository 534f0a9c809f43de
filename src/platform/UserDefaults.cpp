#include "platform/UserDefaults.h"

namespace korvalen {

namespace {

// A text is true when, after leading blanks, a sign and leading zeros, it starts with Y, T or a
// non-zero digit, matching how property lists and INI files spell truth values.
bool textIsTrue(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i == text.size())
        return false;
    const QChar first = text.at(i);
    return first == u'Y' || first == u'y' || first == u'T' || first == u't' ||
           (first >= u'1' && first <= u'9');
}

} // namespace

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

std::optional<QByteArray> UserDefaults::dataForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    if (!value || value->typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value->toByteArray();
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const auto value = objectForKey(key);
    if (!value)
        return false;
    switch (value->typeId()) {
    case QMetaType::Bool:
        return value->toBool();
    case QMetaType::QString:
        return textIsTrue(value->toString());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value->toDouble() != 0.0;
    default:
        return false;
    }
}

} // namespace korvalen
