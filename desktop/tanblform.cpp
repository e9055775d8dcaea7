#include "desktop/tanblform.h"

#include "core/allowlist.h"
#include "core/iserversettings.h"
#include "foundation/filestore.h"
#include "foundation/widgettext.h"

#include <QFile>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TANBLForm::TANBLForm(IServerSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_memo(new QPlainTextEdit), m_ok(new QPushButton),
      m_cancel(new QPushButton)
{
    setObjectName(QStringLiteral("ANBLForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Access Number Accept List"));
    resize(246, 187);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);

    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setText(QStringLiteral("&OK"));
    m_ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setText(QStringLiteral("&Cancel"));
    m_cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(m_ok, &QPushButton::clicked, this, &TANBLForm::BitBtn1Click);
    connect(m_cancel, &QPushButton::clicked, this, &TANBLForm::BitBtn2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_memo);
    layout->addLayout(buttons);
}

void TANBLForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TANBLForm::FormShow()
{
    if (!QFile::exists(AllowList::filePath(m_settings.dataDir())))
        return;
    QStringList lines;
    for (const QByteArray& line : AllowList::load(m_settings.dataDir()))
        lines.append(WidgetText::fromBytes(line));
    m_memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void TANBLForm::BitBtn1Click()
{
    const QString text = m_memo->toPlainText();
    AllowList::save(m_settings.dataDir(), FileStore::splitLines(WidgetText::toBytes(text)));
    m_settings.setAllowList(AllowList::load(m_settings.dataDir()));
    closeForm();
}

void TANBLForm::BitBtn2Click()
{
    closeForm();
}

void TANBLForm::closeForm()
{
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}
