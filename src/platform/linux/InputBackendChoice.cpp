#include "platform/linux/InputBackendChoice.h"

#include "platform/linux/AutomaticTextInputSources.h"
#include "platform/linux/Fcitx5TextInputSources.h"
#include "platform/linux/IbusTextInputSources.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

InputBackendChoice::Made
InputBackendChoice::make(const UserDefaults& defaults, std::unique_ptr<TextInputSources> layouts,
                         const QString& layoutsName,
                         std::unique_ptr<InputMethodFramework> desktopSources)
{
    const QString named = defaults.stringForKey(settingKey).value_or(QString());
    const QString choices = desktopSources ? u"xkb, ibus, fcitx5, gnome"_s : u"xkb, ibus, fcitx5"_s;
    const QString namedNote = u" (set by "_s + settingKey + u')';
    if (named == xkb)
        return {std::move(layouts), layoutsName + namedNote};
    if (named == ibus)
        return {std::make_unique<IbusTextInputSources>(), u"IBus"_s + namedNote};
    if (named == fcitx5)
        return {std::make_unique<Fcitx5TextInputSources>(), u"fcitx5"_s + namedNote};
    if (named == gnome && desktopSources) {
        const QString name = desktopSources->name();
        return {std::move(desktopSources), name + namedNote};
    }

    std::vector<std::unique_ptr<InputMethodFramework>> frameworks;
    frameworks.push_back(std::make_unique<Fcitx5TextInputSources>());
    if (desktopSources)
        frameworks.push_back(std::move(desktopSources));
    frameworks.push_back(std::make_unique<IbusTextInputSources>());
    auto automatic = std::make_unique<AutomaticTextInputSources>(std::move(frameworks),
                                                                 std::move(layouts), layoutsName);
    QString description = automatic->backendInUseName() + u" (chosen automatically"_s;
    if (!named.isEmpty())
        description += u"; "_s + settingKey + u" \""_s + named + u"\" is none of "_s + choices;
    description += u')';
    return {std::move(automatic), description};
}

} // namespace korvalen
