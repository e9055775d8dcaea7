#include "desktop/taboutbox.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), m_version(new QLabel(this))
{
    setObjectName(QStringLiteral("AboutBox"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About"));
    auto* product = new QLabel(QStringLiteral("<b>Zelkor LAN Server</b>"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    m_version->setObjectName(QStringLiteral("Version1"));
    auto* comments = new QLabel(
        QStringLiteral("Paging gateway for the local network: pages from the workstations are "
                       "delivered to pagers through the paging companies' terminals."),
        this);
    comments->setWordWrap(true);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(product, 0, Qt::AlignHCenter);
    layout->addWidget(m_version, 0, Qt::AlignHCenter);
    layout->addWidget(comments);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedWidth(300);
}
