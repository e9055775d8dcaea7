#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Calls back each time the window a page sits in is shown: an options page shows the settings
// in use afresh at each opening of its dialog, and edits of a cancelled dialog are forgotten.
// It follows the page when the page is put into another window, and belongs to the page.
class DialogShowWatcher final : public QObject
{
    Q_OBJECT

public:
    DialogShowWatcher(QWidget* page, std::function<void()> onShown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QWidget* m_page;
    QWidget* m_window = nullptr;
    std::function<void()> m_onShown;
};
