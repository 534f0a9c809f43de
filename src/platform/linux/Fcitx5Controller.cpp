#include "platform/linux/Fcitx5Controller.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

const QString controllerPath = u"/controller"_s;
const QString controllerInterface = u"org.fcitx.Fcitx.Controller1"_s;

// A name missing from the kept list of input methods has it asked again after this long.
constexpr int inputMethodsRecentMs = 5000;

std::optional<QDBusArgument> argumentOfSignature(const QVariant& value, const char* signature)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1StringView(signature))
        return std::nullopt;
    return argument;
}

} // namespace

Fcitx5Controller::Fcitx5Controller(QDBusConnection bus)
    : m_bus(std::move(bus))
    , m_daemonWatcher(serviceName, m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    connect(
        &m_daemonWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString&, const QString&, const QString& newOwner) { setOwner(newOwner); });
    m_bus.connect(serviceName, controllerPath, controllerInterface, u"InputMethodGroupsChanged"_s,
                  this, SLOT(onInputMethodGroupsChanged()));

    // Asked of the bus, which answers for a name whatever its owner is doing.
    QDBusMessage ownerRequest =
        QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                       u"org.freedesktop.DBus"_s, u"GetNameOwner"_s);
    ownerRequest << serviceName;
    const auto reply = m_busCalls.call(m_bus, ownerRequest);
    if (!reply || reply->isEmpty())
        return;
    m_owner = reply->constFirst().toString();
    // A daemon that has been running for a while answers at once, and is then known at once.
    // The brief wait is not counted against it: it may only be starting.
    if (BoundedDBusCalls().call(m_bus, probeOf(m_owner)))
        m_answeredConnection = m_owner;
    else
        awaitAnswer(m_owner);
}

QDBusMessage Fcitx5Controller::probeOf(const QString& owner)
{
    // Asked of the owner itself, so that only its own answer counts.
    QDBusMessage probe = QDBusMessage::createMethodCall(owner, controllerPath, controllerInterface,
                                                        u"CurrentInputMethodGroup"_s);
    probe.setAutoStartService(false);
    return probe;
}

void Fcitx5Controller::setOwner(const QString& owner)
{
    if (owner == m_owner)
        return;
    m_owner = owner;
    setAnsweredConnection(QString());
    if (!owner.isEmpty())
        awaitAnswer(owner);
}

void Fcitx5Controller::awaitAnswer(const QString& owner)
{
    auto* answer =
        new QDBusPendingCallWatcher(m_bus.asyncCall(probeOf(owner), startupTimeoutMs), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, owner, answer] {
        answer->deleteLater();
        // A daemon that never answers is called all the same: each call waits only briefly.
        if (owner == m_owner)
            setAnsweredConnection(owner);
    });
}

void Fcitx5Controller::setAnsweredConnection(const QString& connection)
{
    if (connection == m_answeredConnection)
        return;
    m_answeredConnection = connection;
    // A new daemon owes nothing for the one before it.
    m_daemonCalls = BoundedDBusCalls();
    forgetInputMethods();
    m_daemonChanged.emit();
}

void Fcitx5Controller::onInputMethodGroupsChanged()
{
    forgetInputMethods();
    m_groupsChanged.emit();
}

void Fcitx5Controller::forgetInputMethods()
{
    m_inputMethods.clear();
    m_inputMethodsAskedRecently = QDeadlineTimer(0);
}

std::optional<QList<QVariant>> Fcitx5Controller::call(const QString& method,
                                                      const QVariantList& arguments)
{
    if (m_answeredConnection.isEmpty())
        return std::nullopt;
    // Addressed to the daemon that answered: a replacement still starting is not called before it
    // answers too, and a daemon gone is reported by the bus at once.
    QDBusMessage request = QDBusMessage::createMethodCall(m_answeredConnection, controllerPath,
                                                          controllerInterface, method);
    request.setArguments(arguments);
    request.setAutoStartService(false);
    return m_daemonCalls.call(m_bus, request);
}

std::optional<QStringList> Fcitx5Controller::currentGroupInputMethods()
{
    const auto group = call(u"CurrentInputMethodGroup"_s);
    if (!group || group->isEmpty())
        return std::nullopt;
    const auto info = call(u"InputMethodGroupInfo"_s, {group->constFirst().toString()});
    if (!info || info->size() < 2)
        return std::nullopt;
    const auto items = argumentOfSignature(info->at(1), "a(ss)");
    if (!items)
        return std::nullopt;
    QStringList inputMethods;
    items->beginArray();
    while (!items->atEnd()) {
        QString uniqueName;
        QString layout;
        items->beginStructure();
        *items >> uniqueName >> layout;
        items->endStructure();
        inputMethods.append(uniqueName);
    }
    items->endArray();
    return inputMethods;
}

std::optional<Fcitx5Controller::InputMethod>
Fcitx5Controller::inputMethod(const QString& uniqueName)
{
    if (!m_inputMethods.contains(uniqueName) && m_inputMethodsAskedRecently.hasExpired()) {
        m_inputMethodsAskedRecently.setRemainingTime(inputMethodsRecentMs);
        const auto reply = call(u"AvailableInputMethods"_s);
        const auto list = reply && !reply->isEmpty()
                              ? argumentOfSignature(reply->constFirst(), "a(ssssssb)")
                              : std::nullopt;
        if (list) {
            m_inputMethods.clear();
            list->beginArray();
            while (!list->atEnd()) {
                InputMethod entry;
                QString nativeName;
                QString label;
                QString languageCode;
                bool configurable = false;
                list->beginStructure();
                *list >> entry.uniqueName >> entry.name >> nativeName >> entry.icon >> label >>
                    languageCode >> configurable;
                list->endStructure();
                m_inputMethods.insert(entry.uniqueName, entry);
            }
            list->endArray();
        }
    }
    const auto found = m_inputMethods.constFind(uniqueName);
    if (found == m_inputMethods.constEnd())
        return std::nullopt;
    return *found;
}

std::optional<QString> Fcitx5Controller::currentInputMethod()
{
    const auto reply = call(u"CurrentInputMethod"_s);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return reply->constFirst().toString();
}

bool Fcitx5Controller::setCurrentInputMethod(const QString& uniqueName)
{
    return call(u"SetCurrentIM"_s, {uniqueName}).has_value();
}

std::optional<QString> Fcitx5Controller::focusedInputContext()
{
    const auto reply = call(u"DebugInfo"_s);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    // The daemon's report lists every input context on a line of its own:
    //   IC [1bd4c0e8...] program:gedit frontend:dbus focus:1
    // With several displays (X11 and Wayland at once) each may have one focused; the first
    // listed stands for all, a rare case where this can pick the one not in front.
    static const QRegularExpression focusedLine(u"^\\s*IC \\[([^\\]]+)\\].*\\bfocus:1\\b"_s,
                                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = focusedLine.match(reply->constFirst().toString());
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace korvalen
