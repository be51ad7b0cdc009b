#pragma once

#include <QLabel>
#include <QStatusBar>

class QTimer;

namespace kiv {

// One panel of the status bar.
class TStatusPanel : public QLabel
{
    Q_OBJECT

public:
    explicit TStatusPanel(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    void SetText(const QString &text) { setText(text); }
    int Width() const { return minimumWidth(); }
    void SetWidth(int width) { setMinimumWidth(width); }
};

// The four panels at the foot of the main window: 0 the processing date
// ("Proc.: 10/12/2026"), 1 the branch ("Filial 0001"), 2 the operator's
// name, 3 the screen code of the window in front ("KIS00000"). The panels
// are never hidden by the hints that menus show in a status bar. Between
// the operator's name and the screen code, a message says what the last
// command did ("Lançamento 17 gravado.") until the next one, or for a while.
class TStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit TStatusBar(QWidget *parent = nullptr);

    int PanelCount() const { return int(m_panels.size()); }
    TStatusPanel *Panel(int index) const { return m_panels.at(index); }
    QString PanelText(int index) const { return Panel(index)->Text(); }
    void SetPanelText(int index, const QString &text) { Panel(index)->SetText(text); }

    // Shows the message for a while (15 seconds, or until the next one).
    void ShowMessage(const QString &text);
    QString Message() const;

private:
    QList<TStatusPanel *> m_panels;
    QLabel *m_message = nullptr;
    QTimer *m_messageTimer = nullptr;
};

} // namespace kiv
