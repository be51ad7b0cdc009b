#include "statusbar.h"

#include <QHBoxLayout>

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
        layout->addWidget(panel, i == 3 ? 1 : 0);
        m_panels.append(panel);
    }
    addPermanentWidget(strip, 1);
}

} // namespace kiv
