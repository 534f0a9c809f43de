#include "platform/linux/SwayTextInputSources.h"

#include <QJsonArray>

namespace korvalen {

class SwayTextInputSources::LayoutSource final : public TextInputSources::Source {
public:
    LayoutSource(int index, QString name, QString identifier)
        : m_index(index)
        , m_name(std::move(name))
        , m_identifier(std::move(identifier))
    {
    }

    int index() const { return m_index; }
    const QString& name() const { return m_name; }
    const QString& identifier() const { return m_identifier; }

private:
    int m_index;
    QString m_name;
    QString m_identifier;
};

SwayTextInputSources::SwayTextInputSources(const QString& socketPath, XkbLayoutRegistry registry)
    : m_connection(socketPath, {QStringLiteral("input")})
    , m_registry(std::move(registry))
{
    m_announcement.setSingleShot(true);
    m_announcement.setInterval(0);
    QObject::connect(&m_announcement, &QTimer::timeout, &m_announcement,
                     [this] { announceSelectedKeyboardSourceChanged(); });
    m_events = m_connection.subscribeToEvents([this](quint32 type, const QJsonObject& event) {
        const QString change = event.value(QLatin1String("change")).toString();
        if (type == SwayIpcConnection::inputEvent &&
            (change == QLatin1String("xkb_layout") || change == QLatin1String("xkb_keymap")))
            m_announcement.start();
    });
    m_connectionChanges =
        m_connection.subscribeToConnectionChanges([this] { m_announcement.start(); });
}

std::optional<SwayTextInputSources::Keyboard> SwayTextInputSources::keyboard()
{
    const auto inputs = m_connection.request(SwayIpcConnection::MessageType::getInputs);
    if (!inputs)
        return std::nullopt;
    const QJsonArray devices = inputs->array();
    for (const QJsonValue& value : devices) {
        const QJsonObject device = value.toObject();
        const QJsonArray names = device.value(QLatin1String("xkb_layout_names")).toArray();
        if (device.value(QLatin1String("type")).toString() != QLatin1String("keyboard") ||
            names.isEmpty())
            continue;
        Keyboard keyboard;
        for (const QJsonValue& name : names)
            keyboard.layoutNames.append(name.toString());
        keyboard.activeIndex = device.value(QLatin1String("xkb_active_layout_index")).toInt(-1);
        return keyboard;
    }
    return std::nullopt;
}

TextInputSources::Handle SwayTextInputSources::sourceAt(const Keyboard& keyboard, int index) const
{
    if (index < 0 || index >= keyboard.layoutNames.size())
        return nullptr;
    const QString& name = keyboard.layoutNames.at(index);
    return std::make_shared<LayoutSource>(index, name, m_registry.identifierForDescription(name));
}

QList<TextInputSources::Handle> SwayTextInputSources::enabledSources()
{
    QList<Handle> sources;
    if (const auto found = keyboard()) {
        for (int index = 0; index < found->layoutNames.size(); ++index)
            sources.append(sourceAt(*found, index));
    }
    return sources;
}

TextInputSources::Handle SwayTextInputSources::currentKeyboardSource()
{
    const auto found = keyboard();
    return found ? sourceAt(*found, found->activeIndex) : nullptr;
}

int SwayTextInputSources::select(const Handle& source)
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout)
        return noSuchLayout;
    // Positions are all a switch names: after a reload the same one may hold another layout.
    const auto found = keyboard();
    if (!found || found->layoutNames.value(layout->index()) != layout->name())
        return noSuchLayout;
    const auto reply = m_connection.request(SwayIpcConnection::MessageType::runCommand,
                                            "input type:keyboard xkb_switch_layout " +
                                                QByteArray::number(layout->index()));
    const QJsonArray results = reply ? reply->array() : QJsonArray();
    const bool accepted =
        !results.isEmpty() && std::all_of(results.begin(), results.end(), [](const QJsonValue& r) {
            return r.toObject().value(QLatin1String("success")).toBool();
        });
    return accepted ? selectAccepted : notSent;
}

const SwayTextInputSources::LayoutSource* SwayTextInputSources::layoutSourceOf(const Handle& source)
{
    return dynamic_cast<const LayoutSource*>(source.get());
}

std::optional<bool> SwayTextInputSources::isSelectCapable(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> SwayTextInputSources::category(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> SwayTextInputSources::identifier(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout || layout->identifier().isEmpty())
        return std::nullopt;
    return layout->identifier();
}

std::optional<QString> SwayTextInputSources::localizedName(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout)
        return std::nullopt;
    return layout->name();
}

std::optional<QString> SwayTextInputSources::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // layouts are not provided by input methods
}

std::optional<QUrl> SwayTextInputSources::iconURL(const Handle&) const
{
    return std::nullopt; // sway has no icons for layouts
}

} // namespace korvalen
