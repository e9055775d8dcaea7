#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QListWidget;
class QPrinter;

// "Transfer Log Viewer": a copy of the transaction log's lines taken when the window opened,
// which the operator can save, print or clear. Every viewer holds its own copy, so several can
// be open at once and clearing the log in one leaves the others as they are. The window frees
// itself when closed.
class TLogViewer final : public QMainWindow
{
    Q_OBJECT

public:
    // Asks for the file to save to; an empty result means the operator cancelled.
    using SaveFileChooser = std::function<QString(QWidget* parent)>;
    // Runs a printer dialog on `printer`; false when the operator cancelled.
    using PrinterDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;

    TLogViewer(QString dataDir, QList<QByteArray> lines, QWidget* parent = nullptr);
    ~TLogViewer() override;

    // Opens a viewer on the log of `dataDir` as it is now and shows it without waiting.
    static TLogViewer* open(const QString& dataDir, QWidget* parent);

    QListWidget* HederViewer() const { return m_list; }
    const QList<QByteArray>& lines() const { return m_lines; }

    // The dialogs; by default the desktop's save, print and page setup dialogs.
    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }
    void setPrintDialog(PrinterDialog dialog) { m_printDialog = std::move(dialog); }
    void setPrintSetupDialog(PrinterDialog dialog) { m_printSetupDialog = std::move(dialog); }

    // Writes the lines to `path`, each followed by CR LF, replacing the file. Raises
    // EZelkorError when it cannot be written.
    void saveTo(const QString& path) const;
    // Prints the lines top to bottom in the list's font, starting a new page when one is full.
    // Returns the number of pages; raises EZelkorError when the printer cannot be started.
    int printTo(QPrinter& printer) const;

public slots:
    void SaveAs2Click();
    void ClearLog1Click();
    void Print2Click();
    void PrintSetup2Click();
    void Exit2Click();

private:
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption,
                         void (TLogViewer::*handler)());
    QPrinter& printer();

    QString m_dataDir;
    QList<QByteArray> m_lines;
    QListWidget* m_list;
    std::unique_ptr<QPrinter> m_printer; // made on first use, kept for setup and printing
    SaveFileChooser m_chooseSaveFile;
    PrinterDialog m_printDialog;
    PrinterDialog m_printSetupDialog;
};
