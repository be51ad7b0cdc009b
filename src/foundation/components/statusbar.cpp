#include "statusbar.h"

#include <QHBoxLayout>
#include <QTimer>

namespace kiv {

TStatusPanel::TStatusPanel(QWidget *parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setMargin(1);
    setIndent(4);
}

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    // All panels sit in one permanent strip filling the bar: a permanent
    // widget is never covered by a temporary message.
    auto *strip = new QWidget(this);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QString samples[] = {
        QStringLiteral("Proc.: 10/12/2026"),
        QStringLiteral("Filial 0001"),
        QStringLiteral("Maria da Conceição Albuquerque Santos"),
        QStringLiteral("KIS00000"),
    };
    for (int i = 0; i < 4; ++i) {
        auto *panel = new TStatusPanel(strip);
        panel->setObjectName(QStringLiteral("pnlStatus%1").arg(i));
        const int room = panel->fontMetrics().horizontalAdvance(samples[i] + QStringLiteral("MM"));
        panel->SetWidth(room + 2 * (panel->frameWidth() + panel->margin()) + panel->indent());
        if (i == 3) {
            m_message = new QLabel(strip);
            m_message->setObjectName(QStringLiteral("lblMensagem"));
            m_message->setIndent(6);
            layout->addWidget(m_message, 1);
        }
        layout->addWidget(panel, 0);
        m_panels.append(panel);
    }
    addPermanentWidget(strip, 1);
    m_messageTimer = new QTimer(this);
    m_messageTimer->setSingleShot(true);
    m_messageTimer->setInterval(15000);
    connect(m_messageTimer, &QTimer::timeout, m_message, &QLabel::clear);
}

void TStatusBar::ShowMessage(const QString &text)
{
    m_message->setText(text);
    m_messageTimer->start();
}

QString TStatusBar::Message() const
{
    return m_message->text();
}

} // namespace kiv
