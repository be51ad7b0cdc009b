#pragma once

#include "controlevents.h"
#include "datasource.h"

#include <QDateEdit>
#include <QPointer>
#include <QTime>

#include <functional>

namespace kiv {

class Field;

// A date field with a drop-down calendar (F4 or Alt+Down opens it from the
// keyboard), shown in the workstation's short date format. An empty date
// (a null field) shows blank. Tab goes to the next field, not to the next
// part of the date (the arrows and the separator do that). Whenever it gets
// the focus, typing starts at the first part, so a whole date typed lands
// as typed; Page Up and Page Down do not change it.
//
// OnChange runs when the operator changes the date (typing or the
// calendar), never when code sets it: a window that copies the record's
// dates into its pickers on every record move must not start an edit by
// doing so.
//
// Optionally bound to a Date or DateTime field of a data source: it then
// shows the current record's date, and an operator's change starts editing
// the table (an empty table inserts a record) and writes the field at once,
// keeping a date-time's time of day.
class TDateTimePicker : public QDateEdit, public TControlEvents
{
    Q_OBJECT

public:
    explicit TDateTimePicker(QWidget *parent = nullptr);

    // A null QDate when blank.
    QDate Date() const;
    void SetDate(const QDate &date);
    // The date with the time of day last given to SetDateTime.
    QDateTime DateTime() const;
    void SetDateTime(const QDateTime &dateTime);

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);
    QString DataField() const { return m_fieldName; }
    void SetDataField(const QString &fieldName);
    Field *field() const;

    std::function<void()> OnChange;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void onDateChanged(const QDate &date);
    void writeField(const QDate &date);
    void load();
    void updateReadOnly();
    void openCalendar();
    void applyFormat();
    void selectFirstSection();

    QPointer<TDataSource> m_source;
    QString m_fieldName;
    QList<QMetaObject::Connection> m_connections;
    QTime m_time;
    int m_settingByCode = 0;
    bool m_focusClick = false;
    bool m_movedOn = false;  // the last digit filled a part and moved on
};

} // namespace kiv
