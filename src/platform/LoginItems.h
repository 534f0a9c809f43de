#pragma once

namespace korvalen {

// Whether Korvalen starts when the user logs in, kept where the desktop looks for it.
class LoginItems {
public:
    virtual ~LoginItems() = default;

    virtual bool startsAtLogin() const = 0;
    // False when the setting could not be stored; nothing changed then.
    virtual bool setStartsAtLogin(bool starts) = 0;
};

} // namespace korvalen
