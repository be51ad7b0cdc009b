#pragma once

#include "datasource.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAction;
class QToolButton;

namespace kiv {

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast };

// First, prior, next and last buttons over a data source's table. First
// and prior are enabled when the current record is not the first one, next
// and last when it is not the last one; all are disabled without an active
// table. A move first writes what the data edits hold and posts a pending
// edit (the table's own rule), so an error there (a refused post) is shown
// and the record stays. The buttons take no focus, so the edit being typed
// in keeps it; from the keyboard, Alt+Home, Alt+PgUp, Alt+PgDown and
// Alt+End press them (their tooltips say so). OnClick runs after a move that
// succeeded.
class TDBNavigator : public QWidget
{
    Q_OBJECT

public:
    explicit TDBNavigator(QWidget *parent = nullptr);

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);

    // The buttons are named nbFirst, nbPrior, nbNext and nbLast.
    QToolButton *button(TNavigateBtn which) const { return m_buttons[which]; }
    // What a click on a button does.
    void BtnClick(TNavigateBtn which);

    std::function<void(TNavigateBtn)> OnClick;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void updateButtons();

    QPointer<TDataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
    QToolButton *m_buttons[4] = {};
    // The buttons' keys (Alt+Home, Alt+PgUp, Alt+PgDown, Alt+End), on the
    // window that holds the navigator.
    QList<QAction *> m_keys;
    QPointer<QWidget> m_keysOn;
};

} // namespace kiv
