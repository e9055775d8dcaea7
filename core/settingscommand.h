#pragma once

#include <functional>

class IOperatorPrompts;
class IOptionsDialog;
class IServerSettings;
struct OptionValues;

// The settings command: fills the options dialog from the configuration, shows it, and stores
// what the operator confirms in the record and in Server.Dat. As long as there is no Server.Dat
// (first start) it keeps asking until the operator configures the server or chooses to exit.
class SettingsCommand final
{
public:
    SettingsCommand(IServerSettings& settings, IOptionsDialog& dialog, IOperatorPrompts& prompts);

    // Raised after every confirmed dialog once the record is saved: the tray icon and the
    // listener take up the new settings here.
    void setOnConfirmed(std::function<void()> handler) { m_onConfirmed = std::move(handler); }

    // False when the operator answered "Must Configure Application! Exit?" with Yes: the
    // application is to end.
    bool run();

private:
    void fillDialog();
    void store(const OptionValues& values);

    IServerSettings& m_settings;
    IOptionsDialog& m_dialog;
    IOperatorPrompts& m_prompts;
    std::function<void()> m_onConfirmed;
};
