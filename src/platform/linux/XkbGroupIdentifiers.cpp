#include "platform/linux/XkbGroupIdentifiers.h"

namespace korvalen {

namespace {

enum RulesNamesField { rules, model, layouts, variants, options };

QStringList commaSeparated(const QList<QByteArray>& fields, RulesNamesField field)
{
    if (fields.size() <= field || fields.at(field).isEmpty())
        return {};
    return QString::fromUtf8(fields.at(field)).split(u',');
}

} // namespace

QStringList xkbGroupIdentifiers(const QByteArray& rulesNames)
{
    const QList<QByteArray> fields = rulesNames.split('\0');
    const QStringList groupLayouts = commaSeparated(fields, layouts);
    const QStringList groupVariants = commaSeparated(fields, variants);

    QStringList identifiers;
    for (qsizetype group = 0; group < groupLayouts.size(); ++group) {
        const QString layout = groupLayouts.at(group).trimmed();
        const QString variant = groupVariants.value(group).trimmed();
        if (layout.isEmpty())
            identifiers.append(QString());
        else if (variant.isEmpty())
            // Some tools write the variant into the layout, "de(nodeadkeys)", which reads the same.
            identifiers.append(QStringLiteral("xkb:") + layout);
        else
            identifiers.append(QStringLiteral("xkb:%1(%2)").arg(layout, variant));
    }
    return identifiers;
}

} // namespace korvalen
