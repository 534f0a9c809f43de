#include "support/Fcitx5Client.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// One property of a new input context, as fcitx5's CreateInputContext takes them: a(ss).
struct ContextProperty {
    QString name;
    QString value;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ContextProperty& property)
{
    argument.beginStructure();
    argument << property.name << property.value;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ContextProperty& property)
{
    argument.beginStructure();
    argument >> property.name >> property.value;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(ContextProperty)

namespace korvalen::testing {

namespace {
int connectionCount = 0;
} // namespace

PrivateConnection::PrivateConnection()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                          u"private-%1"_s.arg(++connectionCount)))
{
}

PrivateConnection::~PrivateConnection()
{
    QDBusConnection::disconnectFromBus(m_bus.name());
}

Fcitx5Client::Fcitx5Client()
{
    qDBusRegisterMetaType<ContextProperty>();
    qDBusRegisterMetaType<QList<ContextProperty>>();
}

QString Fcitx5Client::createContext(const QString& program)
{
    const QList<ContextProperty> properties{{u"program"_s, program}, {u"display"_s, u"x11:"_s}};
    const QDBusMessage reply =
        call(u"/org/freedesktop/portal/inputmethod"_s, u"org.fcitx.Fcitx.InputMethod1"_s,
             u"CreateInputContext"_s, {QVariant::fromValue(properties)});
    return reply.arguments().isEmpty()
               ? QString()
               : reply.arguments().constFirst().value<QDBusObjectPath>().path();
}

void Fcitx5Client::focusIn(const QString& context)
{
    call(context, u"org.fcitx.Fcitx.InputContext1"_s, u"FocusIn"_s);
}

void Fcitx5Client::focusOut(const QString& context)
{
    call(context, u"org.fcitx.Fcitx.InputContext1"_s, u"FocusOut"_s);
}

QString Fcitx5Client::currentInputMethod()
{
    const QDBusMessage reply = controllerCall(u"CurrentInputMethod"_s);
    return reply.arguments().isEmpty() ? u"(no answer)"_s
                                       : reply.arguments().constFirst().toString();
}

void Fcitx5Client::switchTo(const QString& inputMethod)
{
    controllerCall(u"SetCurrentIM"_s, {inputMethod});
}

void Fcitx5Client::setGroup(const QStringList& inputMethods)
{
    QDBusArgument items;
    items.beginArray(QMetaType::fromType<ContextProperty>());
    for (const QString& inputMethod : inputMethods)
        items << ContextProperty{inputMethod, QString()};
    items.endArray();
    controllerCall(u"SetInputMethodGroupInfo"_s,
                   {u"Default"_s, u"us"_s, QVariant::fromValue(items)});
}

QDBusMessage Fcitx5Client::call(const QString& path, const QString& interface,
                                const QString& method, const QVariantList& arguments)
{
    QDBusMessage request =
        QDBusMessage::createMethodCall(u"org.fcitx.Fcitx5"_s, path, interface, method);
    request.setArguments(arguments);
    request.setAutoStartService(false);
    const QDBusMessage reply = m_connection.bus().call(request, QDBus::Block, 5000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
}

QDBusMessage Fcitx5Client::controllerCall(const QString& method, const QVariantList& arguments)
{
    return call(u"/controller"_s, u"org.fcitx.Fcitx.Controller1"_s, method, arguments);
}

} // namespace korvalen::testing
