#include "platform/linux/IbusEngineDescription.h"
#include "platform/TextInputSources.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

// Positions of the fields in IBus 1.5's serialization of an IBusEngineDesc: the type name and
// the attachments of every IBusSerializable, then the engine's own fields.
enum Field {
    typeName = 0,
    nameField = 2,
    longNameField = 3,
    iconField = 8,
    layoutField = 9,
    rankField = 10,
    layoutVariantField = 14,
};

QVariant withoutVariants(QVariant value)
{
    // A property's value arrives as a variant in the variant that Properties.Get returns.
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

// The argument inside the value when it is of the expected D-Bus type; none otherwise.
std::optional<QDBusArgument> argumentOfType(const QVariant& value, QDBusArgument::ElementType type)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    QDBusArgument argument = qvariant_cast<QDBusArgument>(value);
    if (argument.currentType() != type)
        return std::nullopt;
    return argument;
}

QString textAt(const QVariantList& fields, int index)
{
    const QVariant field = fields.value(index);
    return field.metaType() == QMetaType::fromType<QString>() ? field.toString() : QString();
}

} // namespace

std::optional<IbusEngineDescription> IbusEngineDescription::fromDBus(const QVariant& value)
{
    const std::optional<QDBusArgument> structure =
        argumentOfType(withoutVariants(value), QDBusArgument::StructureType);
    if (!structure)
        return std::nullopt;
    QVariantList fields;
    structure->beginStructure();
    while (!structure->atEnd())
        fields.append(structure->asVariant());
    structure->endStructure();
    return fromFields(fields);
}

QList<IbusEngineDescription> IbusEngineDescription::listFromDBus(const QVariant& value)
{
    const std::optional<QDBusArgument> array =
        argumentOfType(withoutVariants(value), QDBusArgument::ArrayType);
    if (!array)
        return {};
    QList<IbusEngineDescription> descriptions;
    array->beginArray();
    while (!array->atEnd()) {
        if (std::optional<IbusEngineDescription> description = fromDBus(array->asVariant()))
            descriptions.append(std::move(*description));
    }
    array->endArray();
    return descriptions;
}

std::optional<IbusEngineDescription> IbusEngineDescription::fromFields(const QVariantList& fields)
{
    if (textAt(fields, typeName) != u"IBusEngineDesc"_s || textAt(fields, nameField).isEmpty())
        return std::nullopt;
    IbusEngineDescription description;
    description.name = textAt(fields, nameField);
    description.longName = textAt(fields, longNameField);
    description.icon = textAt(fields, iconField);
    description.layout = textAt(fields, layoutField);
    description.layoutVariant = textAt(fields, layoutVariantField);
    const QVariant rank = fields.value(rankField);
    if (rank.metaType() == QMetaType::fromType<uint>())
        description.rank = rank.toUInt();
    return description;
}

std::optional<QUrl> IbusEngineDescription::iconURL() const
{
    if (icon.isEmpty())
        return std::nullopt;
    if (QDir::isAbsolutePath(icon))
        return QUrl::fromLocalFile(icon);
    // A relative path says nothing of where the file is.
    if (icon.contains(u'/'))
        return std::nullopt;
    QUrl url;
    url.setScheme(TextInputSources::themeIconScheme);
    url.setPath(icon);
    return url;
}

} // namespace korvalen
