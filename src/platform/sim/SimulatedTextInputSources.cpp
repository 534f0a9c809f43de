#include "platform/sim/SimulatedTextInputSources.h"

#include <QTimer>

namespace korvalen {

class SimulatedTextInputSources::SimulatedSource final : public TextInputSources::Source {
public:
    explicit SimulatedSource(Properties properties)
        : m_properties(std::move(properties))
    {
    }
    const Properties& properties() const { return m_properties; }

private:
    Properties m_properties;
};

SimulatedTextInputSources::Properties
SimulatedTextInputSources::keyboardLayout(const QString& identifier, const QString& localizedName)
{
    return {true, keyboardCategory, identifier, localizedName, std::nullopt, std::nullopt};
}

TextInputSources::Handle SimulatedTextInputSources::makeSource(Properties properties)
{
    return std::make_shared<const SimulatedSource>(std::move(properties));
}

TextInputSources::Handle SimulatedTextInputSources::addEnabledSource(Properties properties)
{
    Handle source = makeSource(std::move(properties));
    m_enabledSources.append(source);
    return source;
}

int SimulatedTextInputSources::select(const Handle& source)
{
    m_selectRequests.append(source);
    if (m_selectStatus == selectAccepted) {
        m_currentSource = source;
        QTimer::singleShot(0, &m_announcementContext,
                           [this] { announceSelectedKeyboardSourceChanged(); });
    }
    return m_selectStatus;
}

const SimulatedTextInputSources::Properties*
SimulatedTextInputSources::propertiesOf(const Handle& source)
{
    const auto* simulated = dynamic_cast<const SimulatedSource*>(source.get());
    return simulated ? &simulated->properties() : nullptr;
}

namespace {
// The member of the source's properties, absent for a foreign or null handle.
template <typename T>
std::optional<T> property(const SimulatedTextInputSources::Properties* properties,
                          std::optional<T> SimulatedTextInputSources::Properties::*member)
{
    return properties ? properties->*member : std::nullopt;
}
} // namespace

std::optional<bool> SimulatedTextInputSources::isSelectCapable(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::isSelectCapable);
}

std::optional<QString> SimulatedTextInputSources::category(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::category);
}

std::optional<QString> SimulatedTextInputSources::identifier(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::identifier);
}

std::optional<QString> SimulatedTextInputSources::localizedName(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::localizedName);
}

std::optional<QString> SimulatedTextInputSources::inputMethodBundleID(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::inputMethodBundleID);
}

std::optional<QUrl> SimulatedTextInputSources::iconURL(const Handle& source) const
{
    return property(propertiesOf(source), &Properties::iconURL);
}

} // namespace korvalen
