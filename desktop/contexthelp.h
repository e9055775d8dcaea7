#pragma once

#include <QObject>

class HelpWindow;
class QWidget;

// F1 anywhere in the program opens the help topic of what is in front: the highlighted menu
// item or its menu, else the nearest window or control, from the focus outwards, that carries
// a help context. Windows give their topic number in the "helpContext" property. Installed as an
// event filter of the application; `help` must outlive it.
class ContextHelp final : public QObject
{
    Q_OBJECT

public:
    explicit ContextHelp(HelpWindow& help, QObject* parent = nullptr);

    static constexpr const char* Property = "helpContext";

    static void setHelpContext(QObject* object, int topic);
    // The topic for F1 with `widget` in front (a menu or a focused control); 0 for none.
    static int topicFor(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpWindow& m_help;
};
