#include "input/InputSourceManager.h"
#include "platform/sim/SimulatedTextInputSources.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

using Properties = SimulatedTextInputSources::Properties;

const QString us = u"xkb:us"_s;
const QString ru = u"xkb:ru"_s;
const QString de = u"xkb:de(nodeadkeys)"_s;

Properties layout(const QString& id)
{
    return SimulatedTextInputSources::keyboardLayout(id, id + u" name"_s);
}

// Sources the catalogue must pass over, each failing one check.
QList<Properties> unselectableSources()
{
    const auto failing = [](const char* id, const auto& change) {
        Properties properties = layout(QString::fromLatin1(id));
        change(properties);
        return properties;
    };
    return {
        failing("not-select-capable", [](Properties& p) { p.isSelectCapable = false; }),
        failing("select-capability-unknown", [](Properties& p) { p.isSelectCapable.reset(); }),
        failing("palette", [](Properties& p) { p.category = u"TISCategoryPaletteInputSource"_s; }),
        failing("category-in-other-case",
                [](Properties& p) { p.category = TextInputSources::keyboardCategory.toLower(); }),
        failing("no-category", [](Properties& p) { p.category.reset(); }),
        failing("unused", [](Properties& p) { p.identifier.reset(); }),
        failing("unused", [](Properties& p) { p.identifier = QString(); }),
    };
}

QStringList ids(const QList<InputSource>& sources)
{
    QStringList result;
    for (const InputSource& source : sources)
        result.append(source.id);
    return result;
}

} // namespace

TEST(InputSource, EqualAndHashedByIdentifierAlone)
{
    SimulatedTextInputSources platform;
    const InputSource a{us, u"English (US)"_s, platform.makeSource(layout(us))};
    const InputSource b{us, u"US"_s, platform.makeSource(layout(us))};
    const InputSource c{ru, u"English (US)"_s, a.raw};
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_EQ((QSet<InputSource>{a, b, c}).size(), 2);
}

TEST(MakeInputSource, TakesIdentifierNameAndHandleAndNamesUnnamedSourcesByIdentifier)
{
    SimulatedTextInputSources platform;
    const auto handle = platform.makeSource(layout(de));
    const auto source = InputSourceManager::makeInputSource(platform, handle);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->id, de);
    EXPECT_EQ(source->localizedName, de + u" name"_s);
    EXPECT_EQ(source->raw, handle);

    for (const std::optional<QString>& name :
         {std::optional<QString>(), std::optional(QString())}) {
        Properties unnamed = layout(us);
        unnamed.localizedName = name;
        EXPECT_EQ(InputSourceManager::makeInputSource(platform, platform.makeSource(unnamed))
                      ->localizedName,
                  us);
    }
}

TEST(MakeInputSource, NoRecordForASourceThatFailsACheck)
{
    SimulatedTextInputSources platform;
    for (const Properties& properties : unselectableSources())
        EXPECT_EQ(InputSourceManager::makeInputSource(platform, platform.makeSource(properties)),
                  std::nullopt)
            << properties.identifier.value_or(u"(no identifier)"_s).toStdString();
    EXPECT_EQ(InputSourceManager::makeInputSource(platform, nullptr), std::nullopt);
}

TEST(SelectableKeyboardSources, KeepsThePlatformOrderAndDuplicatesAndSkipsTheRest)
{
    SimulatedTextInputSources platform;
    const QList<Properties> skipped = unselectableSources();
    platform.addEnabledSource(skipped.at(0));
    platform.addEnabledSource(layout(ru));
    platform.addEnabledSource(skipped.at(2));
    platform.addEnabledSource(layout(us));
    platform.addEnabledSource(layout(ru));
    for (const Properties& properties : skipped)
        platform.addEnabledSource(properties);
    platform.addEnabledSource(layout(de));

    EXPECT_EQ(ids(InputSourceManager::selectableKeyboardSources(platform)),
              (QStringList{ru, us, ru, de}));
}

TEST(SelectableKeyboardSources, AsksThePlatformAfreshEachTime)
{
    SimulatedTextInputSources platform;
    EXPECT_TRUE(InputSourceManager::selectableKeyboardSources(platform).isEmpty());

    platform.addEnabledSource(layout(us));
    const auto ruSource = platform.addEnabledSource(layout(ru));
    EXPECT_EQ(ids(InputSourceManager::selectableKeyboardSources(platform)), (QStringList{us, ru}));

    platform.setEnabledSources({ruSource});
    EXPECT_EQ(ids(InputSourceManager::selectableKeyboardSources(platform)), (QStringList{ru}));
}

TEST(CurrentSource, IsThePlatformsCurrentKeyboardSourceIfItPassesTheChecks)
{
    SimulatedTextInputSources platform;
    platform.addEnabledSource(layout(us));
    EXPECT_EQ(InputSourceManager::currentSource(platform), std::nullopt);

    const auto ruSource = platform.addEnabledSource(layout(ru));
    platform.setCurrentKeyboardSource(ruSource);
    const auto current = InputSourceManager::currentSource(platform);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->id, ru);
    EXPECT_EQ(current->raw, ruSource);

    for (const Properties& properties : unselectableSources()) {
        platform.setCurrentKeyboardSource(platform.addEnabledSource(properties));
        EXPECT_EQ(InputSourceManager::currentSource(platform), std::nullopt)
            << properties.identifier.value_or(u"(no identifier)"_s).toStdString();
    }
}

TEST(Select, SwitchesToTheFirstSourceWithExactlyThatIdentifier)
{
    SimulatedTextInputSources platform;
    platform.addEnabledSource(layout(us));
    const auto firstRu = platform.addEnabledSource(layout(ru));
    platform.addEnabledSource(layout(ru));

    EXPECT_TRUE(InputSourceManager::select(platform, ru));
    EXPECT_EQ(platform.selectRequests(), QList<TextInputSources::Handle>{firstRu});
}

TEST(Select, FalseWithoutAskingThePlatformWhenNoSelectableSourceHasTheIdentifier)
{
    SimulatedTextInputSources platform;
    platform.addEnabledSource(layout(us));
    platform.addEnabledSource(layout(de));
    platform.makeSource(layout(ru)); // installed, not enabled
    Properties notSelectCapable = layout(u"xkb:fr"_s);
    notSelectCapable.isSelectCapable = false;
    platform.addEnabledSource(notSelectCapable);

    for (const QString& id : {ru, u"xkb:fr"_s, u"XKB:US"_s, u"xkb:de"_s, u"xkb:us "_s, QString()})
        EXPECT_FALSE(InputSourceManager::select(platform, id)) << id.toStdString();
    EXPECT_TRUE(platform.selectRequests().isEmpty());
}

TEST(Select, FalseWhenThePlatformRefuses)
{
    SimulatedTextInputSources platform;
    const auto usSource = platform.addEnabledSource(layout(us));
    platform.addEnabledSource(layout(ru));
    platform.setCurrentKeyboardSource(usSource);

    for (int status : {-50, 1}) {
        platform.setSelectStatus(status);
        EXPECT_FALSE(InputSourceManager::select(platform, ru)) << status;
    }
    EXPECT_EQ(platform.selectRequests().size(), 2);
    EXPECT_EQ(InputSourceManager::currentSource(platform)->id, us);
}
