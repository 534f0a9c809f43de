#pragma once

#include <CoreFoundation/CoreFoundation.h>

namespace korvalen {

// Holds one reference to a Core Foundation object and releases it with the holder: the reference
// that a Create or Copy function handed over, or one added to an object got under the Get rule,
// which the holder then keeps alive however long it lives.
template <typename Ref>
class CFReference {
public:
    // Takes over the reference of a Create or Copy result, null included.
    static CFReference adopt(Ref object) { return CFReference(object); }
    // Adds a reference to an object that the caller does not own.
    static CFReference retain(Ref object)
    {
        if (object)
            CFRetain(object);
        return CFReference(object);
    }

    CFReference(const CFReference&) = delete;
    CFReference& operator=(const CFReference&) = delete;
    ~CFReference()
    {
        if (m_object)
            CFRelease(m_object);
    }

    Ref get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    explicit CFReference(Ref object)
        : m_object(object)
    {
    }

    Ref m_object;
};

} // namespace korvalen
