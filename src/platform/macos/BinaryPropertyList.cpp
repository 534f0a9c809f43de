#include "platform/macos/BinaryPropertyList.h"

#include "platform/macos/CFReference.h"

namespace korvalen::BinaryPropertyList {

std::optional<InfoPlist::Texts> dictionaryTexts(const QByteArray& contents)
{
    // The bytes stay the caller's (kCFAllocatorNull), and outlive the data object.
    const auto data = CFReference<CFDataRef>::adopt(CFDataCreateWithBytesNoCopy(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(contents.constData()), contents.size(),
        kCFAllocatorNull));
    if (!data)
        return std::nullopt;
    const auto list = CFReference<CFPropertyListRef>::adopt(CFPropertyListCreateWithData(
        kCFAllocatorDefault, data.get(), kCFPropertyListImmutable, nullptr, nullptr));
    if (!list || CFGetTypeID(list.get()) != CFDictionaryGetTypeID())
        return std::nullopt;
    InfoPlist::Texts texts;
    CFDictionaryApplyFunction(
        static_cast<CFDictionaryRef>(list.get()),
        [](const void* key, const void* value, void* context) {
            if (CFGetTypeID(key) != CFStringGetTypeID() ||
                CFGetTypeID(value) != CFStringGetTypeID())
                return;
            static_cast<InfoPlist::Texts*>(context)->insert(
                QString::fromCFString(static_cast<CFStringRef>(key)),
                QString::fromCFString(static_cast<CFStringRef>(value)));
        },
        &texts);
    return texts;
}

} // namespace korvalen::BinaryPropertyList
