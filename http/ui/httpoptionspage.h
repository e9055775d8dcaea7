#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class IHttpSettingsHolder;
class QCheckBox;
class QLineEdit;
struct HttpOptionsEntry;

// The options dialog's page of the HTTP front end: whether it listens, on which port, and the
// token its clients must send. It shows the settings in use each time the dialog opens, and
// stores what was entered when the dialog is confirmed (apply()); the checks are
// HttpOptionsEntry's.
class HttpOptionsPage final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int HelpTopic = 106;

    explicit HttpOptionsPage(IHttpSettingsHolder& holder, QWidget* parent = nullptr);

    // Shows the settings in use.
    void load();
    // What keeps the entries from being stored; the dialog asks before its OK closes it.
    std::optional<QString> check() const;
    // Stores and applies what is entered; a text for the operator when it cannot.
    std::optional<QString> apply();

private:
    HttpOptionsEntry entry() const;

    IHttpSettingsHolder& m_holder;
    QCheckBox* m_enabled;
    QLineEdit* m_port;
    QLineEdit* m_token;
};
