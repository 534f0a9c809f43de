#pragma once

#include "platform/BrowserScripting.h"

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <map>
#include <memory>

namespace korvalen {

// Scriptable browsers (macOS), asked through AppleScript for the address of the active tab of
// their front window. Each question is a run of the osascript program, not NSAppleScript in this
// process: the run goes on beside the event loop, so a browser that does not answer never holds
// the interface (NSAppleScript waits on the thread that runs it, and is meant for the main one),
// and a run that outlasts the deadline is killed, which a call inside this process could not be.
// Written with QtCore alone so that the same code runs, and is tested, on every system.
//
// One question at a time goes to each browser; a question asked while one is pending gets that
// one's answer.
class OsascriptBrowserScripting final : public BrowserScripting {
public:
    // Long enough for osascript to start, load the browser's scripting terminology and get the
    // answer; short enough that the answer comes before the website watcher asks again (every
    // 1.5 s). Cutting healthy answers short would read as "no website" and switch the input
    // source back and forth.
    static constexpr std::chrono::milliseconds answerDeadline{1000};

    // browsers: application identifier → the name the script addresses the browser by. program:
    // osascript, or what stands in for it.
    OsascriptBrowserScripting(QMap<QString, QString> browsers, QString program);
    // Questions still pending are dropped unanswered.
    ~OsascriptBrowserScripting() override;

    QMap<QString, QString> supportedBrowsers() const override { return m_browsers; }
    void requestCurrentTabURL(const QString& appName, TabURLHandler handler) override;

private:
    struct Question {
        std::unique_ptr<QProcess> run;
        QList<TabURLHandler> waiting;
    };

    static QStringList arguments(const QString& appName);
    void answer(const QString& appName, const std::optional<QString>& url);

    QMap<QString, QString> m_browsers;
    QString m_program;
    // Application name → the question pending there.
    std::map<QString, Question> m_questions;
};

} // namespace korvalen
