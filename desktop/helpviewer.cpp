#include "desktop/helpviewer.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpViewer::HelpViewer() : m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Zelkor Server Help"));
    resize(520, 420);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenLinks(true);
    m_browser->setSearchPaths({QStringLiteral(":/help")});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(m_browser->documentTitle()); });
}

QUrl HelpViewer::contentsUrl()
{
    return QUrl(QStringLiteral("qrc:/help/contents.html"));
}

QUrl HelpViewer::topicUrl(int topic)
{
    const QString name = QStringLiteral("topic%1.html").arg(topic);
    if (!QFile::exists(QStringLiteral(":/help/") + name))
        return contentsUrl();
    return QUrl(QStringLiteral("qrc:/help/") + name);
}

void HelpViewer::showPage(const QUrl& page)
{
    // A modal dialog blocks every window but its own: the help window joins it.
    belongTo(QApplication::activeModalWidget());
    m_browser->setSource(page);
    show();
    raise();
    activateWindow();
}

QUrl HelpViewer::currentSource() const
{
    return m_browser->source();
}

QString HelpViewer::currentTitle() const
{
    return m_browser->documentTitle();
}

void HelpViewer::belongTo(QWidget* owner)
{
    if (parentWidget() == owner)
        return;
    if (parentWidget())
        parentWidget()->removeEventFilter(this);
    const bool shown = isVisible();
    const QRect place = geometry();
    setParent(owner, windowFlags() | Qt::Window);
    if (owner)
        owner->installEventFilter(this);
    if (shown) {
        setGeometry(place);
        show();
    }
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog is done (and may be freed soon): the help window stays open on its own.
    if (watched == parentWidget() && event->type() == QEvent::Hide)
        belongTo(nullptr);
    return QWidget::eventFilter(watched, event);
}
