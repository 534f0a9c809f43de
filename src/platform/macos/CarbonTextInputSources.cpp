#include "platform/macos/CarbonTextInputSources.h"

#include "platform/macos/CFReference.h"

#include <Carbon/Carbon.h>
#include <QTimer>

namespace korvalen {

namespace {

class CarbonSource final : public TextInputSources::Source {
public:
    explicit CarbonSource(TISInputSourceRef source)
        : m_source(CFReference<TISInputSourceRef>::retain(source))
    {
    }
    TISInputSourceRef get() const { return m_source.get(); }

private:
    CFReference<TISInputSourceRef> m_source;
};

TISInputSourceRef sourceOf(const TextInputSources::Handle& handle)
{
    const auto* source = dynamic_cast<const CarbonSource*>(handle.get());
    return source ? source->get() : nullptr;
}

// The value of a property when the source has it with the type its key documents. Values come
// under the Get rule: valid while the source lives, never released here.
CFTypeRef property(const TextInputSources::Handle& handle, CFStringRef key, CFTypeID type)
{
    const TISInputSourceRef source = sourceOf(handle);
    if (!source)
        return nullptr;
    const auto value = static_cast<CFTypeRef>(TISGetInputSourceProperty(source, key));
    return value && CFGetTypeID(value) == type ? value : nullptr;
}

std::optional<QString> text(const TextInputSources::Handle& handle, CFStringRef key)
{
    const CFTypeRef value = property(handle, key, CFStringGetTypeID());
    if (!value)
        return std::nullopt;
    return QString::fromCFString(static_cast<CFStringRef>(value));
}

} // namespace

CarbonTextInputSources::CarbonTextInputSources()
{
    // An accessory application is rarely the active one, and distributed notifications are held
    // back while an application is inactive unless the observer asks for them at once.
    CFNotificationCenterAddObserver(CFNotificationCenterGetDistributedCenter(), this,
                                    &CarbonTextInputSources::selectedSourceChanged,
                                    kTISNotifySelectedKeyboardInputSourceChanged, nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
}

CarbonTextInputSources::~CarbonTextInputSources()
{
    CFNotificationCenterRemoveObserver(CFNotificationCenterGetDistributedCenter(), this,
                                       kTISNotifySelectedKeyboardInputSourceChanged, nullptr);
}

void CarbonTextInputSources::selectedSourceChanged(CFNotificationCenterRef, void* observer,
                                                   CFNotificationName, const void*, CFDictionaryRef)
{
    // Delivered on the main thread's run loop; passed on through Qt's queue, so that no
    // announcement can come inside a call to this object, whatever the system does within one.
    auto* self = static_cast<CarbonTextInputSources*>(observer);
    QTimer::singleShot(0, &self->m_announcementContext,
                       [self] { self->announceSelectedKeyboardSourceChanged(); });
}

QList<TextInputSources::Handle> CarbonTextInputSources::enabledSources()
{
    const auto list = CFReference<CFArrayRef>::adopt(TISCreateInputSourceList(nullptr, false));
    if (!list || CFGetTypeID(list.get()) != CFArrayGetTypeID())
        return {};
    QList<Handle> sources;
    const CFIndex count = CFArrayGetCount(list.get());
    for (CFIndex index = 0; index < count; ++index) {
        const auto entry = static_cast<CFTypeRef>(CFArrayGetValueAtIndex(list.get(), index));
        if (entry && CFGetTypeID(entry) == TISInputSourceGetTypeID())
            sources.append(std::make_shared<const CarbonSource>(
                static_cast<TISInputSourceRef>(const_cast<void*>(entry))));
    }
    return sources;
}

TextInputSources::Handle CarbonTextInputSources::currentKeyboardSource()
{
    const auto current = CFReference<TISInputSourceRef>::adopt(TISCopyCurrentKeyboardInputSource());
    if (!current)
        return {};
    return std::make_shared<const CarbonSource>(current.get());
}

int CarbonTextInputSources::select(const Handle& source)
{
    const TISInputSourceRef selected = sourceOf(source);
    return selected ? TISSelectInputSource(selected) : paramErr;
}

std::optional<bool> CarbonTextInputSources::isSelectCapable(const Handle& source) const
{
    const CFTypeRef value =
        property(source, kTISPropertyInputSourceIsSelectCapable, CFBooleanGetTypeID());
    if (!value)
        return std::nullopt;
    return value == kCFBooleanTrue;
}

std::optional<QString> CarbonTextInputSources::category(const Handle& source) const
{
    const CFTypeRef value = property(source, kTISPropertyInputSourceCategory, CFStringGetTypeID());
    if (!value)
        return std::nullopt;
    if (CFEqual(value, kTISCategoryKeyboardInputSource))
        return keyboardCategory;
    return QString::fromCFString(static_cast<CFStringRef>(value));
}

std::optional<QString> CarbonTextInputSources::identifier(const Handle& source) const
{
    return text(source, kTISPropertyInputSourceID);
}

std::optional<QString> CarbonTextInputSources::localizedName(const Handle& source) const
{
    return text(source, kTISPropertyLocalizedName);
}

std::optional<QString> CarbonTextInputSources::inputMethodBundleID(const Handle& source) const
{
    return text(source, kTISPropertyBundleID);
}

std::optional<QUrl> CarbonTextInputSources::iconURL(const Handle& source) const
{
    const CFTypeRef value = property(source, kTISPropertyIconImageURL, CFURLGetTypeID());
    if (!value)
        return std::nullopt;
    return QUrl::fromCFURL(static_cast<CFURLRef>(value));
}

} // namespace korvalen
