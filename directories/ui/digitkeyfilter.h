#pragma once

#include <QObject>

class IOperatorPrompts;
class QLineEdit;

// The key filter of the access number and PIN fields: a typed character other than a digit or
// backspace is discarded with the system's default beep. Pasted text that is not all digits is
// refused as well, so the field never holds anything else.
class DigitKeyFilter final : public QObject
{
    Q_OBJECT

public:
    DigitKeyFilter(QLineEdit* field, IOperatorPrompts& prompts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IOperatorPrompts& m_prompts;
};
