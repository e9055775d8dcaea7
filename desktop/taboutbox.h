#pragma once

#include <QDialog>

class QLabel;

// The about window: the program's name and version. Not modal; closing it frees it.
class TAboutBox final : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* Version1() const { return m_version; }

private:
    QLabel* m_version;
};
