#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The program's help: short HTML pages built into the program, one per help topic number, and a
// contents page. One help window serves every request; it is created on first use.
class HelpViewer final : public QWidget
{
    Q_OBJECT

public:
    static HelpViewer* showContents();
    static HelpViewer* showTopic(int topic);
    // The open help window, or nullptr.
    static HelpViewer* instance();

    static QUrl contentsUrl();
    // The page of a topic; the contents page for a topic without a page of its own.
    static QUrl topicUrl(int topic);

    QUrl currentSource() const;
    QString currentTitle() const;

private:
    HelpViewer();
    static HelpViewer* open(const QUrl& page);

    QTextBrowser* m_browser;
};
