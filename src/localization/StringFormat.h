#pragma once

#include <QString>
#include <QVariantList>

namespace korvalen {

// Fills a format text as the string tables write them, after its lookup: "%@" takes a text,
// "%d" a whole number (in ASCII digits), each either in turn or by position ("%1$@", "%2$d",
// counted from 1, so a translation may reorder them); "%%" is one percent sign. Sequential
// placeholders take the arguments in order, whatever positional ones there are.
//
// A placeholder without its argument and any other "%" sequence are kept as written: a faulty
// translation then shows the fault instead of losing words or crashing.
QString formatted(const QString& format, const QVariantList& arguments);

} // namespace korvalen
