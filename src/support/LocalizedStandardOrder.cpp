#include "support/LocalizedStandardOrder.h"

namespace korvalen {

namespace {

// QCollator compares texts code unit by code unit, ignoring case and numeric settings, when its
// locale is the C locale, which is what a C or POSIX environment (common on servers and in
// containers) gives. English collation is the untailored root collation, which orders names the
// way most users expect whatever their language.
QLocale collationLocale(const QLocale& locale)
{
    return locale.language() == QLocale::C ? QLocale(QLocale::English) : locale;
}

} // namespace

LocalizedStandardOrder::LocalizedStandardOrder(const QLocale& locale)
    : m_collator(collationLocale(locale))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

} // namespace korvalen
