#pragma once

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;

// A log window inside the main window: one read-only memo with a vertical scroll bar. The
// server has two, the "Connection Log" and the "Transmition Log"; each shows the lines that
// the server state holds for it.
class TConnectionLogForm final : public QWidget
{
    Q_OBJECT

public:
    TConnectionLogForm(const QString& caption, int helpContext, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1() const { return m_memo; }
    // The memo's lines, top to bottom.
    QStringList lines() const;

public slots:
    void addLine(const QString& line);
    void setLines(const QStringList& lines);
    void clear();

private:
    QPlainTextEdit* m_memo;
};
