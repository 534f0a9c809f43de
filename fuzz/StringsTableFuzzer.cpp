#include "FuzzTarget.h"
#include "localization/StringsTable.h"

using namespace korvalen;

namespace {

QString quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

// The entries written back as a strings file, every text quoted.
QByteArray written(const QHash<QString, QString>& entries)
{
    QString text;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        text +=
            quoted(it.key()) + QStringLiteral(" = ") + quoted(it.value()) + QStringLiteral(";\n");
    return text.toUtf8();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const StringsTable table = StringsTable::fromData(fuzz::bytesOf(data, size));
    // Whatever was read, fault or not, is text the format can carry: written back, it reads
    // whole and the same.
    const StringsTable again = StringsTable::fromData(written(table.entries()));
    fuzz::require(again.isComplete(), "entries written back read without a fault");
    fuzz::require(again.entries() == table.entries(), "entries written back read the same");
    return 0;
}
