#include "platform/linux/XkbGroupIdentifiers.h"

#include <algorithm>
#include <optional>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// XkbNumKbdGroups, without bringing Xlib's macros in.
constexpr int groupCount = 4;

// One included symbols file, "[folder/]file[(map)][:group]", the group counted from zero.
struct SymbolsInclude {
    QStringView folder;
    QStringView file;
    QStringView map;
    int group = 0;
};

std::optional<SymbolsInclude> parseInclude(QStringView text)
{
    SymbolsInclude include;
    if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        // A suffix such as ":all" binds no group of its own: only options carry one.
        bool isNumber = false;
        include.group = text.sliced(colon + 1).toInt(&isNumber) - 1;
        if (!isNumber || include.group < 0 || include.group >= groupCount)
            return std::nullopt;
        text.truncate(colon);
    }
    if (const qsizetype open = text.indexOf(u'('); open >= 0) {
        if (!text.endsWith(u')'))
            return std::nullopt;
        include.map = text.sliced(open + 1, text.size() - open - 2);
        text.truncate(open);
    }
    if (const qsizetype slash = text.lastIndexOf(u'/'); slash >= 0) {
        include.folder = text.first(slash);
        text = text.sliced(slash + 1);
    }
    include.file = text;
    if (include.file.isEmpty())
        return std::nullopt;
    return include;
}

QList<SymbolsInclude> parseIncludes(QStringView symbolsName)
{
    QList<SymbolsInclude> includes;
    // "+" overrides and "|" augments what came before; either way each piece is one file.
    qsizetype start = 0;
    for (qsizetype end = 0; end <= symbolsName.size(); ++end) {
        if (end < symbolsName.size() && symbolsName.at(end) != u'+' && symbolsName.at(end) != u'|')
            continue;
        if (const auto include = parseInclude(symbolsName.sliced(start, end - start).trimmed()))
            includes.append(*include);
        start = end + 1;
    }
    return includes;
}

// What the rules add for the keyboard model and the options rather than for a layout. Option
// files that are layouts too (apl, jp, kr, epo) always follow the layout of their group.
bool isModelOrOptionFile(QStringView file)
{
    static constexpr QStringView files[] = {
        u"altwin",    u"apple",  u"capslock", u"compose",   u"ctrl",      u"empty",
        u"eurosign",  u"group",  u"inet",     u"keypad",    u"kpdl",      u"level2",
        u"level3",    u"level5", u"nbsp",     u"olpc",      u"parens",    u"pc",
        u"rupeesign", u"shift",  u"solaris",  u"srvr_ctrl", u"terminate", u"typo",
    };
    return std::ranges::find(files, file) != std::end(files);
}

QString identifier(QStringView layout, QStringView variant)
{
    if (layout.isEmpty())
        return {};
    if (variant.isEmpty())
        // Some tools write the variant into the layout, "de(nodeadkeys)", which reads the same.
        return u"xkb:"_s.append(layout);
    return u"xkb:%1(%2)"_s.arg(layout, variant);
}

enum RulesNamesField { rules, model, layouts, variants, options };

QStringList commaSeparated(const QList<QByteArray>& fields, RulesNamesField field)
{
    if (fields.size() <= field || fields.at(field).isEmpty())
        return {};
    return QString::fromUtf8(fields.at(field)).split(u',');
}

} // namespace

QStringList xkbGroupIdentifiersFromSymbols(QStringView symbolsName)
{
    const QList<SymbolsInclude> includes = parseIncludes(symbolsName);
    QStringList identifiers;
    for (qsizetype index = 0; index < includes.size(); ++index) {
        const SymbolsInclude& include = includes.at(index);
        if (isModelOrOptionFile(include.file))
            continue;
        // A vendor's description of its keyboard ("xfree68_vndr/ataritt(us)",
        // "macintosh_vndr/us(oldmac)") comes right before the layout the user chose for it.
        const bool isKeyboardBase = !include.folder.isEmpty() && index + 1 < includes.size() &&
                                    includes.at(index + 1).group == include.group &&
                                    !isModelOrOptionFile(includes.at(index + 1).file);
        if (isKeyboardBase)
            continue;
        if (identifiers.size() <= include.group)
            identifiers.resize(include.group + 1);
        // The first layout of a group is the one the rules put there; later files of the same
        // group only adjust it for options.
        if (identifiers.at(include.group).isEmpty())
            identifiers[include.group] = identifier(include.file, include.map);
    }
    return identifiers;
}

QStringList xkbGroupIdentifiersFromRulesNames(const QByteArray& rulesNames)
{
    const QList<QByteArray> fields = rulesNames.split('\0');
    const QStringList groupLayouts = commaSeparated(fields, layouts);
    const QStringList groupVariants = commaSeparated(fields, variants);

    QStringList identifiers;
    for (qsizetype group = 0; group < groupLayouts.size(); ++group)
        identifiers.append(
            identifier(groupLayouts.at(group).trimmed(), groupVariants.value(group).trimmed()));
    return identifiers;
}

} // namespace korvalen
