#include "menu/StatusMenuActions.h"

#include "input/InputSourceManager.h"
#include "localization/StringFormat.h"

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

StatusMenuActions::StatusMenuActions(RuleStore& store, TextInputSources& inputSources,
                                     const Workspace& workspace, Localizer localizer,
                                     ShowNotice showNotice)
    : m_store(store)
    , m_inputSources(inputSources)
    , m_workspace(workspace)
    , m_localizer(std::move(localizer))
    , m_showNotice(std::move(showNotice))
{
}

QString StatusMenuActions::noticeLine(const QString& heading, const std::optional<QString>& detail)
{
    QString line = u"✓ "_s + heading;
    if (detail)
        line += u'：' + *detail;
    return line;
}

void StatusMenuActions::showFailure(const QString& heading, const QString& detail)
{
    m_showNotice(noticeLine(heading, detail));
}

void StatusMenuActions::lockCurrentSource()
{
    const auto source = InputSourceManager::currentSource(m_inputSources);
    if (!source) {
        showFailure(localized(u"锁定失败"_s), localized(u"无法读取当前输入法状态。"_s));
        return;
    }
    // Identifier and name first, so that the enforcement pass the mode change starts already
    // holds the new default.
    m_store.setDefaultSourceID(source->id);
    m_store.setDefaultSourceDisplayName(source->localizedName);
    m_store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    m_showNotice(
        noticeLine(localized(u"已锁定"_s),
                   formatted(localized(u"当前输入法「%@」已锁定，切换应用不会再被带走。"_s),
                             {source->localizedName})));
}

void StatusMenuActions::disableLock()
{
    m_store.setGlobalFallbackMode(GlobalFallbackMode::disabled);
    m_showNotice(noticeLine(localized(u"已解除锁定"_s), std::nullopt));
}

void StatusMenuActions::toggleAutoSwitch()
{
    m_store.setAutoSwitchEnabled(!m_store.isAutoSwitchEnabled());
}

void StatusMenuActions::addRuleForFrontmostApp()
{
    const QString failed = localized(u"添加规则失败"_s);
    const auto application = m_workspace.frontmostApplication();
    if (!application) {
        showFailure(failed, localized(u"取不到当前前台应用，请切到目标 App 后再点一次。"_s));
        return;
    }
    if (!application->bundleID) {
        const QString name = application->localizedName.isEmpty() ? localized(u"这个应用"_s)
                                                                  : application->localizedName;
        showFailure(failed, formatted(localized(u"「%@」没有 bundle identifier，无法建立规则。"_s),
                                      {name}));
        return;
    }
    const auto source = InputSourceManager::currentSource(m_inputSources);
    if (!source) {
        showFailure(failed, localized(u"无法读取当前输入法状态。"_s));
        return;
    }
    const QString bundleID = *application->bundleID;
    const QString name =
        application->localizedName.isEmpty() ? bundleID : application->localizedName;
    m_store.upsert(AppRule{.bundleID = bundleID,
                           .appDisplayName = name,
                           .inputSourceID = source->id,
                           .inputSourceDisplayName = source->localizedName});
    m_showNotice(noticeLine(localized(u"已添加规则"_s), formatted(localized(u"「%@」→「%@」"_s),
                                                                  {name, source->localizedName})));
}

void StatusMenuActions::selectLanguage(const std::optional<QString>& code)
{
    m_store.setLanguageOverride(code);
}

} // namespace korvalen
