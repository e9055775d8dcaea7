#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QLineEdit;
class SnppGateway;

// The options dialog's page of the SNPP gateway: whether it listens and on which port. It shows
// the gateway's settings each time the dialog opens, and stores what was entered when the
// dialog is confirmed (apply()).
class SnppOptionsPage final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int HelpTopic = 105;

    explicit SnppOptionsPage(SnppGateway& gateway, QWidget* parent = nullptr);

    // Shows the gateway's current settings.
    void load();
    // What keeps the entries from being stored: a gateway switched on with a port that is no
    // port. The options dialog asks before its OK closes it, with the focus then on the port.
    std::optional<QString> check() const;
    // Stores and applies what is entered. A text for the operator when the port is no port
    // (nothing changes then) or the gateway could not take the settings.
    std::optional<QString> apply();

private:
    SnppGateway& m_gateway;
    QCheckBox* m_enabled;
    QLineEdit* m_port;
};
