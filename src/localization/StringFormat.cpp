#include "localization/StringFormat.h"

#include <optional>

namespace korvalen {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QString filled(QChar conversion, const QVariant& argument)
{
    return conversion == u'd' ? QString::number(argument.toLongLong()) : argument.toString();
}

} // namespace

QString formatted(const QString& format, const QVariantList& arguments)
{
    QString result;
    result.reserve(format.size());
    qsizetype nextSequential = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) != u'%' || i + 1 == format.size()) {
            result.append(format.at(i));
            continue;
        }
        if (format.at(i + 1) == u'%') {
            result.append(u'%');
            ++i;
            continue;
        }
        // An optional position: digits and a dollar sign.
        qsizetype conversionAt = i + 1;
        while (conversionAt < format.size() && isDigit(format.at(conversionAt)))
            ++conversionAt;
        std::optional<qsizetype> position;
        if (conversionAt > i + 1 && conversionAt < format.size() &&
            format.at(conversionAt) == u'$') {
            position = format.sliced(i + 1, conversionAt - i - 1).toLongLong() - 1;
            ++conversionAt;
        }
        else {
            conversionAt = i + 1;
        }
        const QChar conversion = conversionAt < format.size() ? format.at(conversionAt) : QChar();
        if (conversion != u'@' && conversion != u'd') {
            result.append(u'%');
            continue;
        }
        const qsizetype index = position ? *position : nextSequential++;
        if (index >= 0 && index < arguments.size())
            result.append(filled(conversion, arguments.at(index)));
        else
            result.append(format.sliced(i, conversionAt - i + 1));
        i = conversionAt;
    }
    return result;
}

} // namespace korvalen
