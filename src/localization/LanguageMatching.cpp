#include "localization/LanguageMatching.h"

#include <QLocale>

namespace korvalen {

namespace {

// A language code taken apart. Language and script come from the locale database, which knows
// old codes ("iw" is Hebrew) and the usual script of a language in a region; the region is only
// the one written, because a region the database fills in ("pt" is Portuguese of Brazil) would
// make the plain code look regional.
struct LanguageTag {
    QString language;
    QString script;
    QString region;

    static LanguageTag parse(const QString& code)
    {
        const QStringList subtags = QString(code).replace(u'_', u'-').split(u'-');
        LanguageTag tag;
        for (const QString& subtag : subtags.sliced(1)) {
            if (subtag.size() == 2 || (subtag.size() == 3 && subtag.front().isDigit()))
                tag.region = subtag.toUpper();
        }
        const QLocale locale(code);
        if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage) {
            // Unknown to the database: compare the written subtags as they are.
            tag.language = subtags.front().toLower();
            for (const QString& subtag : subtags.sliced(1)) {
                if (subtag.size() == 4)
                    tag.script = subtag.toLower();
            }
            return tag;
        }
        tag.language = QLocale::languageToCode(locale.language());
        tag.script = QLocale::scriptToCode(locale.script());
        return tag;
    }
};

// How well an available localization serves one preference: 0 not at all, 3 the same code.
int matchQuality(const LanguageTag& preference, const LanguageTag& candidate)
{
    if (preference.language != candidate.language)
        return 0;
    if (!preference.script.isEmpty() && !candidate.script.isEmpty() &&
        preference.script != candidate.script)
        return 0;
    if (preference.region == candidate.region)
        return 3;
    return candidate.region.isEmpty() ? 2 : 1;
}

} // namespace

std::optional<QString> bestLocalization(const QStringList& preferences,
                                        const QStringList& available)
{
    QList<LanguageTag> candidates;
    candidates.reserve(available.size());
    for (const QString& code : available)
        candidates.append(LanguageTag::parse(code));

    for (const QString& preference : preferences) {
        const LanguageTag wanted = LanguageTag::parse(preference);
        std::optional<QString> best;
        int bestQuality = 0;
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            const int quality = matchQuality(wanted, candidates.at(i));
            if (quality > bestQuality) {
                best = available.at(i);
                bestQuality = quality;
            }
        }
        if (best)
            return best;
    }
    return std::nullopt;
}

} // namespace korvalen
