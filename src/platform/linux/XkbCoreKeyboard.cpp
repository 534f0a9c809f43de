#include "platform/linux/XkbCoreKeyboard.h"

#include "platform/linux/XkbGroupIdentifiers.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

// Xlib defines macros (Bool, None, Status, …) that clash with Qt's names: include it last.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace korvalen {

namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

struct XkbDescDeleter {
    void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};

// Atom names are meant to be Latin-1, but keymap compilers store group names as they find them
// in the layout files, which are UTF-8.
QString decodeAtomName(const char* name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(name));
    return utf8.hasError() ? QString::fromLatin1(name) : decoded;
}

// Xlib ends the process when a connection to a server breaks, unless the process-wide handler of
// such errors returns; then the connection's own exit handler runs instead. Our connections are
// allowed to outlive their server; any other connection is left to the handler that came before.
std::vector<Display*> displaysOutlivingTheirServer;
XIOErrorHandler previousIOErrorHandler = nullptr;

int handleIOError(Display* display)
{
    if (std::ranges::find(displaysOutlivingTheirServer, display) !=
        displaysOutlivingTheirServer.end())
        return 0;
    return previousIOErrorHandler ? previousIOErrorHandler(display) : 0;
}

void outliveServer(Display* display, XIOErrorExitHandler onLoss, void* context)
{
    static const bool installed = [] {
        previousIOErrorHandler = XSetIOErrorHandler(handleIOError);
        return true;
    }();
    Q_UNUSED(installed);
    displaysOutlivingTheirServer.push_back(display);
    XSetIOErrorExitHandler(display, onLoss, context);
}

void closeDisplay(Display* display)
{
    std::erase(displaysOutlivingTheirServer, display);
    XCloseDisplay(display);
}

} // namespace

XkbCoreKeyboard::XkbCoreKeyboard(const QByteArray& displayName)
{
    if (connect(displayName))
        watchEvents();
}

XkbCoreKeyboard::~XkbCoreKeyboard()
{
    m_notifier.reset();
    if (m_display)
        closeDisplay(m_display);
}

bool XkbCoreKeyboard::connect(const QByteArray& displayName)
{
    m_display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!m_display)
        return false;
    outliveServer(
        m_display,
        [](Display*, void* keyboard) { static_cast<XkbCoreKeyboard*>(keyboard)->loseConnection(); },
        this);
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    // Only changes of the group in effect matter; modifier changes would wake us on every Shift.
    if (!XkbQueryExtension(m_display, &opcode, &eventBase, &errorBase, &major, &minor) ||
        !XkbSelectEventDetails(m_display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                               XkbGroupStateMask)) {
        closeDisplay(m_display);
        m_display = nullptr;
        return false;
    }
    m_xkbEventType = eventBase;
    // Whoever loads a keymap (setxkbmap, the desktop's keyboard settings) sets this property
    // after the upload, so its change says the new layouts are in place and named.
    m_rulesNamesAtom = XInternAtom(m_display, "_XKB_RULES_NAMES", False);
    XSelectInput(m_display, DefaultRootWindow(m_display), PropertyChangeMask);
    return true;
}

void XkbCoreKeyboard::watchEvents()
{
    m_notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readEvents(); });
    // Every request that waits for a reply may read events into Xlib's queue, where the socket
    // no longer shows them; look there before the event loop goes to sleep.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_notifier.get(),
                         [this] { readEventsLaterIfQueued(); });
    XFlush(m_display);
}

void XkbCoreKeyboard::loseConnection()
{
    // Xlib has given up the connection: the socket stays at its end for good.
    m_connectionLost = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
}

void XkbCoreKeyboard::readEvents()
{
    bool layoutChanged = false;
    while (isConnected() && XPending(m_display) > 0) {
        XkbEvent event;
        XNextEvent(m_display, &event.core);
        if (event.type == m_xkbEventType)
            layoutChanged |=
                event.any.xkb_type == XkbStateNotify && (event.state.changed & XkbGroupStateMask);
        else if (event.type == PropertyNotify)
            layoutChanged |= event.core.xproperty.atom == m_rulesNamesAtom;
    }
    // One announcement for a burst: listeners read the layout in effect, not each step.
    if (layoutChanged)
        m_layoutChanged.emit();
}

void XkbCoreKeyboard::readEventsLaterIfQueued()
{
    if (isConnected() && XEventsQueued(m_display, QueuedAlready) > 0)
        QMetaObject::invokeMethod(
            m_notifier.get(), [this] { readEvents(); }, Qt::QueuedConnection);
}

QList<XkbCoreKeyboard::LayoutGroup> XkbCoreKeyboard::layoutGroups() const
{
    if (!isConnected())
        return {};
    const std::unique_ptr<XkbDescRec, XkbDescDeleter> keyboard(XkbAllocKeyboard());
    if (!keyboard)
        return {};
    keyboard->device_spec = XkbUseCoreKbd;
    if (XkbGetControls(m_display, XkbAllControlsMask, keyboard.get()) != Success ||
        XkbGetNames(m_display, XkbGroupNamesMask, keyboard.get()) != Success)
        return {};

    const QStringList identifiers = xkbGroupIdentifiers(rulesNames());
    const int groupCount = std::min<int>(keyboard->ctrls->num_groups, XkbNumKbdGroups);
    QList<LayoutGroup> groups;
    for (int group = 0; group < groupCount; ++group)
        groups.append({identifiers.value(group), atomName(keyboard->names->groups[group])});
    return groups;
}

std::optional<int> XkbCoreKeyboard::currentGroup() const
{
    if (!isConnected())
        return std::nullopt;
    XkbStateRec state;
    if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    return state.group;
}

bool XkbCoreKeyboard::lockGroup(int group)
{
    if (!isConnected() || group < 0 || group >= XkbNumKbdGroups)
        return false;
    const bool sent = XkbLockGroup(m_display, XkbUseCoreKbd, unsigned(group));
    XFlush(m_display);
    return sent && isConnected();
}

QByteArray XkbCoreKeyboard::rulesNames() const
{
    Atom type = None;
    int format = 0;
    unsigned long length = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    // 1024 32-bit units: far more than any keymap's rules, model, layouts and options.
    if (XGetWindowProperty(m_display, DefaultRootWindow(m_display), m_rulesNamesAtom, 0, 1024,
                           False, XA_STRING, &type, &format, &length, &remaining, &data) != Success)
        return {};
    const std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (type != XA_STRING || format != 8 || !data)
        return {};
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(length));
}

std::optional<QString> XkbCoreKeyboard::atomName(unsigned long atom) const
{
    if (atom == None)
        return std::nullopt;
    const std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(m_display, atom));
    if (!name)
        return std::nullopt;
    return decodeAtomName(name.get());
}

} // namespace korvalen
