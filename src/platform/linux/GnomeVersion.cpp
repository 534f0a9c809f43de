#include "platform/linux/GnomeVersion.h"

#include <QProcess>
#include <QRegularExpression>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// The program answers at once; a wait this long means it is stuck, and the caller is a person
// at a terminal.
constexpr int programTimeoutMs = 3000;
constexpr int firstModuleMajor = 45;
constexpr int firstSupportedMajor = 43;

} // namespace

GnomeVersion::GnomeVersion(int major, QString text)
    : m_major(major)
    , m_text(std::move(text))
{
}

std::optional<GnomeVersion> GnomeVersion::fromText(const QString& text)
{
    static const QRegularExpression pattern(uR"(^\s*(?:GNOME Shell\s+)?((\d+)(?:\.\S*)?)\s*$)"_s);
    const QRegularExpressionMatch match = pattern.match(text);
    bool isNumber = false;
    const int major = match.hasMatch() ? match.captured(2).toInt(&isNumber) : 0;
    if (!isNumber)
        return std::nullopt;
    return GnomeVersion(major, match.captured(1));
}

std::optional<GnomeVersion> GnomeVersion::ofProgram(const QString& program)
{
    QProcess process;
    process.start(program, {u"--version"_s}, QIODevice::ReadOnly);
    if (!process.waitForFinished(programTimeoutMs)) {
        process.kill();
        process.waitForFinished(programTimeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return fromText(QString::fromUtf8(process.readAllStandardOutput()));
}

QString GnomeVersion::flavour() const
{
    if (m_major >= firstModuleMajor)
        return QString::number(firstModuleMajor);
    if (m_major >= firstSupportedMajor)
        return QString::number(firstSupportedMajor);
    return {};
}

} // namespace korvalen
