#include "platform/OsascriptBrowserScripting.h"

#include <QTimer>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

// A text result as osascript prints it in source form: between double quotes, with a backslash
// before each quote or backslash inside. None for every other result (no value, "missing value",
// a list, a number), which carries no address.
std::optional<QString> textResult(const QByteArray& printed)
{
    const QString source = QString::fromUtf8(printed).trimmed();
    if (source.size() < 2 || !source.startsWith(u'"') || !source.endsWith(u'"'))
        return std::nullopt;
    QString text;
    for (qsizetype at = 1; at < source.size() - 1; ++at) {
        if (source[at] == u'\\')
            ++at;
        text.append(source[at]);
    }
    return text;
}

} // namespace

OsascriptBrowserScripting::OsascriptBrowserScripting(QMap<QString, QString> browsers,
                                                     QString program)
    : m_browsers(std::move(browsers))
    , m_program(std::move(program))
{
}

OsascriptBrowserScripting::~OsascriptBrowserScripting()
{
    for (auto& [appName, question] : m_questions) {
        question.run->disconnect();
        question.run->kill();
        question.run->waitForFinished();
    }
}

QStringList OsascriptBrowserScripting::arguments(const QString& appName)
{
    QString quotedName = appName;
    quotedName.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    // Results in source form, so that a text tells itself from every other kind of value; the
    // script one line to each -e, which osascript joins with line feeds.
    return {u"-s"_s, u"s"_s,
            u"-e"_s, u"tell application \""_s + quotedName + u'"',
            u"-e"_s, u"    if (count of windows) > 0 then"_s,
            u"-e"_s, u"        get URL of active tab of front window"_s,
            u"-e"_s, u"    end if"_s,
            u"-e"_s, u"end tell"_s};
}

void OsascriptBrowserScripting::requestCurrentTabURL(const QString& appName, TabURLHandler handler)
{
    Question& question = m_questions[appName];
    question.waiting.append(std::move(handler));
    if (question.run)
        return;
    question.run = std::make_unique<QProcess>();
    QProcess* run = question.run.get();
    // What osascript says of a failure (the browser refused, or is not running) is not read.
    run->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(run, &QProcess::finished, run,
                     [this, appName, run](int exitCode, QProcess::ExitStatus status) {
                         const bool answered = status == QProcess::NormalExit && exitCode == 0;
                         answer(appName,
                                answered ? textResult(run->readAllStandardOutput()) : std::nullopt);
                     });
    QObject::connect(run, &QProcess::errorOccurred, run,
                     [this, appName](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             answer(appName, std::nullopt);
                     });
    // A killed run ends as a crash, which answers none.
    QTimer::singleShot(answerDeadline, run, [run] { run->kill(); });
    run->start(m_program, arguments(appName));
}

void OsascriptBrowserScripting::answer(const QString& appName, const std::optional<QString>& url)
{
    const auto found = m_questions.find(appName);
    if (found == m_questions.end())
        return;
    Question question = std::move(found->second);
    m_questions.erase(found);
    // Called from one of the run's own signals: it goes once that signal has been handled.
    question.run.release()->deleteLater();
    for (const TabURLHandler& handler : question.waiting)
        handler(url);
}

} // namespace korvalen
