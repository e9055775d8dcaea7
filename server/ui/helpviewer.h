#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The program's help: short HTML pages built into the program, one per help topic number, and a
// contents page. One help window serves every request; it is created on first use. Help asked
// for while a modal dialog or box is open belongs to that dialog for as long as it is open, so
// the operator can read and use it without closing the dialog first.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpViewer();
    static HelpViewer* open(const QUrl& page);
    // Makes the window a child of `owner` (a modal dialog), or a window of its own for none,
    // keeping its place and whether it is shown.
    void belongTo(QWidget* owner);

    QTextBrowser* m_browser;
};
