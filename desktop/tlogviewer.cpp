#include "desktop/tlogviewer.h"

#include "core/transactionlog.h"
#include "desktop/contexthelp.h"
#include "foundation/errors.h"
#include "foundation/widgettext.h"

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString defaultSaveFile(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool defaultPrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    return dialog.exec() == QDialog::Accepted;
}

bool defaultPrintSetupDialog(QPrinter& printer, QWidget* parent)
{
    QPageSetupDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrinterSetupDialog1"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

TLogViewer::TLogViewer(QString dataDir, QList<QByteArray> lines, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_dataDir(std::move(dataDir)), m_lines(std::move(lines)),
      m_list(new QListWidget), m_chooseSaveFile(defaultSaveFile), m_printDialog(defaultPrintDialog),
      m_printSetupDialog(defaultPrintSetupDialog)
{
    setObjectName(QStringLiteral("LogViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Transfer Log Viewer"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    ContextHelp::setHelpContext(this, 450);
    resize(435, 300);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    auto* frame = new QWidget;
    frame->setAutoFillBackground(true);
    QPalette silver = frame->palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    frame->setPalette(silver);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_list);
    setCentralWidget(frame);

    m_list->setObjectName(QStringLiteral("HederViewer"));
    QFont font(QStringLiteral("MS Sans Serif"), 8, QFont::Bold);
    m_list->setFont(font);
    QPalette black = m_list->palette();
    black.setColor(QPalette::Text, Qt::black);
    m_list->setPalette(black);
    for (const QByteArray& line : m_lines)
        m_list->addItem(WidgetText::fromBytes(line));

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    addMenuItem(file, "SaveAs2", QStringLiteral("Save &As..."), &TLogViewer::SaveAs2Click);
    addMenuItem(file, "ClearLog1", QStringLiteral("&Clear Log"), &TLogViewer::ClearLog1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N5"));
    addMenuItem(file, "Print2", QStringLiteral("&Print..."), &TLogViewer::Print2Click);
    addMenuItem(file, "PrintSetup2", QStringLiteral("P&rint Setup..."),
                &TLogViewer::PrintSetup2Click);
    file->addSeparator()->setObjectName(QStringLiteral("N4"));
    addMenuItem(file, "Exit2", QStringLiteral("E&xit"), &TLogViewer::Exit2Click);
}

TLogViewer::~TLogViewer() = default;

TLogViewer* TLogViewer::open(const QString& dataDir, QWidget* parent)
{
    auto* viewer = new TLogViewer(dataDir, TransactionLog::readLines(dataDir), parent);
    viewer->show();
    return viewer;
}

QAction* TLogViewer::addMenuItem(QMenu* menu, const char* name, const QString& caption,
                                 void (TLogViewer::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

QPrinter& TLogViewer::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return *m_printer;
}

void TLogViewer::saveTo(const QString& path) const
{
    TransactionLog::saveCopy(path, m_lines);
}

int TLogViewer::printTo(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw EZelkorError("Printing failed: the printer could not be started");
    painter.setFont(m_list->font());
    const QFontMetrics metrics = painter.fontMetrics();
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    int pages = 1;
    int top = 0;
    for (const QByteArray& line : m_lines) {
        if (top > 0 && top + metrics.lineSpacing() > pageHeight) {
            printer.newPage();
            ++pages;
            top = 0;
        }
        painter.drawText(0, top + metrics.ascent(), WidgetText::fromBytes(line));
        top += metrics.lineSpacing();
    }
    painter.end();
    return pages;
}

void TLogViewer::SaveAs2Click()
{
    const QString path = m_chooseSaveFile(this);
    if (!path.isEmpty())
        saveTo(path);
}

void TLogViewer::ClearLog1Click()
{
    // No question: the operator asked for it. A log that cannot be deleted (held by another
    // program) stays; the list is emptied either way.
    m_lines.clear();
    m_list->clear();
    TransactionLog::remove(m_dataDir);
}

void TLogViewer::Print2Click()
{
    if (m_printDialog(printer(), this))
        printTo(printer());
}

void TLogViewer::PrintSetup2Click()
{
    m_printSetupDialog(printer(), this);
}

void TLogViewer::Exit2Click()
{
    close();
}
