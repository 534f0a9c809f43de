#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// The available localization that serves the language preferences best, as written in
// `available`; none when no preference matches any of them.
//
// The preferences are tried in order and the first one that matches anything decides. For one
// preference, the best match is the same code (letter case and "-" or "_" aside); then the same
// language and script without a region ("fr-CA" finds "fr", "zh-Hant-TW" finds "zh-Hant");
// then the same language and script with another region ("pt-PT" finds "pt-BR"). A script that
// is not written is the one the language usually has in the region, so "zh-TW" and "zh-HK" find
// "zh-Hant" while "zh", "zh-CN" and "zh-SG" find "zh-Hans"; a different script never matches.
std::optional<QString> bestLocalization(const QStringList& preferences,
                                        const QStringList& available);

} // namespace korvalen
