#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The help window: short HTML pages built into the program, one per help topic number, and a
// contents page. Help asked for while a modal dialog or box is open belongs to that dialog for as
// long as it is open, so the operator can read and use it without closing the dialog first. It
// frees itself when closed.
class HelpViewer final : public QWidget
{
    Q_OBJECT

public:
    HelpViewer();

    // Shows `page` in front, joined to the modal dialog in front if there is one.
    void showPage(const QUrl& page);

    static QUrl contentsUrl();
    // The page of a topic; the contents page for a topic without a page of its own.
    static QUrl topicUrl(int topic);

    QUrl currentSource() const;
    QString currentTitle() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the window a child of `owner` (a modal dialog), or a window of its own for none,
    // keeping its place and whether it is shown.
    void belongTo(QWidget* owner);

    QTextBrowser* m_browser;
};
