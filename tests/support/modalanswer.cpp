#include "tests/support/modalanswer.h"

#include <QApplication>
#include <QDialog>

#include <gtest/gtest.h>

ModalAnswer::ModalAnswer(TryAct tryAct, const char* dialogName, int timeoutMs)
    : m_tryAct(std::move(tryAct)), m_dialogName(dialogName), m_deadline(timeoutMs)
{
    // A short interval: the modal loop sleeps between the polls.
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

ModalAnswer::~ModalAnswer()
{
    if (!m_answered && !m_failed)
        ADD_FAILURE() << "The dialog " << m_dialogName << " was never shown";
}

void ModalAnswer::poll()
{
    // Acting may open a nested modal loop, in which this answer must not poll again.
    m_timer.stop();
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && m_tryAct(modal)) {
        m_answered = true;
        return;
    }
    if (!m_deadline.hasExpired()) {
        m_timer.start();
        return;
    }
    m_failed = true;
    ADD_FAILURE() << "The dialog " << m_dialogName << " did not show in time"
                  << (modal ? ", another modal window was in front" : "");
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else if (modal)
        modal->close();
}
