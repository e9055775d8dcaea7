#pragma once

#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers the next modal dialog of a type: acts on it once it is the active modal window.
// A dialog that does not come within the time-out fails the test, and whatever modal window
// is up then is closed, so a test never waits for ever. Destroying the answer before its dialog
// came fails the test as well.
class ModalAnswer final
{
public:
    using TryAct = std::function<bool(QWidget* modal)>;

    ModalAnswer(TryAct tryAct, const char* dialogName, int timeoutMs);
    ~ModalAnswer();

    bool answered() const { return m_answered; }

private:
    void poll();

    TryAct m_tryAct;
    const char* m_dialogName;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    bool m_answered = false;
    bool m_failed = false;
};

template <typename Dialog>
std::unique_ptr<ModalAnswer> answerModal(std::function<void(Dialog&)> act, int timeoutMs = 60000)
{
    return std::make_unique<ModalAnswer>(
        [act](QWidget* modal) {
            auto* dialog = qobject_cast<Dialog*>(modal);
            if (!dialog)
                return false;
            act(*dialog);
            return true;
        },
        Dialog::staticMetaObject.className(), timeoutMs);
}
