#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QStringList>

#include <initializer_list>
#include <optional>

namespace korvalen {

// The values of the named members, in the order given; none unless every one of them is present
// and holds a JSON string. Members with other names are ignored.
inline std::optional<QStringList>
requiredStringMembers(const QJsonObject& object, std::initializer_list<QLatin1StringView> names)
{
    QStringList values;
    values.reserve(qsizetype(names.size()));
    for (const QLatin1StringView name : names) {
        const QJsonValue value = object.value(name);
        if (!value.isString())
            return std::nullopt;
        values.append(value.toString());
    }
    return values;
}

// A list of records as one compact UTF-8 JSON array of objects, in list order. Record provides
// `QJsonObject toJson() const`.
template <typename Record>
QByteArray encodeJsonRecords(const QList<Record>& records)
{
    QJsonArray array;
    for (const Record& record : records)
        array.append(record.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// The records of a JSON array of objects, in array order; none when the bytes are not such an
// array or any element is not a valid record. Record provides
// `static std::optional<Record> fromJson(const QJsonObject&)`.
template <typename Record>
std::optional<QList<Record>> decodeJsonRecords(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<Record> records;
    records.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isObject())
            return std::nullopt;
        auto record = Record::fromJson(element.toObject());
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

} // namespace korvalen
