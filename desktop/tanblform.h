#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class IServerSettings;

// "Access Number Accept List": the allow list file in a memo. OK saves the lines and makes them
// the server's allow list at once; Cancel saves nothing. Shown without waiting, inside the main
// window; it frees itself when closed.
class TANBLForm final : public QWidget
{
    Q_OBJECT

public:
    explicit TANBLForm(IServerSettings& settings, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1() const { return m_memo; }
    QPushButton* BitBtn1() const { return m_ok; }
    QPushButton* BitBtn2() const { return m_cancel; }

public slots:
    void FormShow();
    // Saves the memo's lines to the allow list file, reloads the server's allow list from it
    // and closes. A file that cannot be written raises EZelkorError and the dialog stays open.
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Closes the dialog, or the frame around it when it sits in the main window.
    void closeForm();

    IServerSettings& m_settings;
    QPlainTextEdit* m_memo;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_shown = false;
};
