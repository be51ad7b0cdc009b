#include "datetimepicker.h"

#include "guard.h"
#include "localeservice.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWheelEvent>

namespace kiv {

namespace {

// The blank date: the earliest the picker takes, shown as a blank.
const QDate blankDate(1900, 1, 1);

} // namespace

TDateTimePicker::TDateTimePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setMinimumDate(blankDate);
    setSpecialValueText(QStringLiteral(" "));
    applyFormat();
    ++m_settingByCode;
    setDate(QDate::currentDate());
    --m_settingByCode;
    connect(this, &QDateEdit::dateChanged, this, &TDateTimePicker::onDateChanged);
}

void TDateTimePicker::applyFormat()
{
    const QString format = LocaleService::shortDateFormat();
    if (displayFormat() != format) {
        ++m_settingByCode;
        setDisplayFormat(format);
        --m_settingByCode;
    }
}

QDate TDateTimePicker::Date() const
{
    return date() == blankDate ? QDate() : date();
}

void TDateTimePicker::SetDate(const QDate &value)
{
    ++m_settingByCode;
    setDate(value.isValid() && value > blankDate ? value : blankDate);
    --m_settingByCode;
}

QDateTime TDateTimePicker::DateTime() const
{
    const QDate day = Date();
    return day.isValid() ? QDateTime(day, m_time, Qt::UTC) : QDateTime();
}

void TDateTimePicker::SetDateTime(const QDateTime &dateTime)
{
    m_time = dateTime.isValid() ? dateTime.time() : QTime(0, 0);
    SetDate(dateTime.date());
}

void TDateTimePicker::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections = {
            connect(source, &TDataSource::dataChanged, this,
                    [this](int fieldIndex) {
                        Field *bound = field();
                        if (fieldIndex < 0 || (bound && bound->Index() == fieldIndex))
                            load();
                    }),
            connect(source, &TDataSource::stateChanged, this, &TDateTimePicker::updateReadOnly),
            connect(source, &TDataSource::dataSetChanged, this, &TDateTimePicker::load),
            connect(source, &QObject::destroyed, this, &TDateTimePicker::load),
        };
    }
    load();
}

void TDateTimePicker::SetDataField(const QString &fieldName)
{
    m_fieldName = fieldName;
    load();
}

Field *TDateTimePicker::field() const
{
    if (!m_source || !m_source->DataSet() || m_fieldName.isEmpty())
        return nullptr;
    return m_source->DataSet()->FindField(m_fieldName);
}

void TDateTimePicker::load()
{
    Field *bound = field();
    if (!bound) {
        updateReadOnly();
        return;
    }
    if (m_source->Enabled() && bound->DataSet().Active() && !bound->IsNull())
        SetDateTime(bound->AsDateTime());
    else
        SetDate(QDate());
    updateReadOnly();
}

void TDateTimePicker::updateReadOnly()
{
    Field *bound = field();
    if (m_fieldName.isEmpty() || !m_source) {
        setReadOnly(false);
        return;
    }
    setReadOnly(!bound || bound->ReadOnly() || bound->Calculated() || !m_source->Enabled()
                || !bound->DataSet().Active());
}

void TDateTimePicker::onDateChanged(const QDate &date)
{
    if (m_settingByCode)
        return;
    if (field())
        writeField(date);
    if (OnChange)
        guarded(this, OnChange);
}

void TDateTimePicker::writeField(const QDate &date)
{
    const bool written = guarded(this, [&] {
        Field *bound = field();
        Table &table = bound->DataSet();
        if (table.State() == DataSetState::Browse)
            table.Edit();
        if (date == blankDate)
            bound->Clear();
        else if (bound->DataType() == FieldKind::DateTime)
            bound->SetAsDateTime(QDateTime(date, m_time, Qt::UTC));
        else
            bound->SetAsDate(date);
    });
    if (!written)
        load();
}

bool TDateTimePicker::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isTabKey(key) && !filterTabKey(this, key))
            return true;
    }
    return QDateEdit::event(event);
}

void TDateTimePicker::keyPressEvent(QKeyEvent *event)
{
    if (isTabKey(event)) {
        QDateEdit::keyPressEvent(event);
        return;
    }
    std::unique_ptr<QKeyEvent> replacement;
    QKeyEvent *key = filterKey(this, event, replacement);
    if (!key)
        return;
    // Page Up and Page Down step a date by ten days or months in Qt, which
    // nobody expects of a date field: they belong to the window.
    if (key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) {
        event->ignore();
        return;
    }
    // F4 and Alt+Down open the calendar, as the operators know from the
    // workstation's own date fields.
    if (calendarPopup() && !isReadOnly()
        && (key->key() == Qt::Key_F4
            || (key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier))) {
        openCalendar();
        event->accept();
        return;
    }
    // A part filled up moves on to the next by itself; the separator the
    // operator types after it ("05/11/2026") then belongs to that move, not
    // to a second one that would put the month in the year.
    const QString text = key->text();
    const bool separator = text.size() == 1 && !text.at(0).isLetterOrNumber()
                           && !text.at(0).isSpace() && text.at(0).isPrint();
    if (separator && m_movedOn) {
        m_movedOn = false;
        event->accept();
        return;
    }
    const int section = currentSectionIndex();
    QDateEdit::keyPressEvent(key);
    m_movedOn = text.size() == 1 && text.at(0).isDigit() && currentSectionIndex() == section + 1;
    if (key != event)
        event->setAccepted(key->isAccepted());
}

void TDateTimePicker::openCalendar()
{
    // Qt opens the calendar only from a click on the drop-down arrow, which
    // it finds as a combo box's.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                QStyle::SC_ComboBoxArrow, this);
    const QPointF at = arrow.isValid() ? QPointF(arrow.center())
                                       : QPointF(width() - 4, height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(this, &press);
}

void TDateTimePicker::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    // Qt keeps the part of the date last typed in and, but for Tab, goes on
    // there: a date typed after a lookup moved the focus here would start in
    // the year. Typing always starts at the first part; back from the
    // calendar the operator is where he was.
    if (event->reason() != Qt::PopupFocusReason) {
        selectFirstSection();
        m_movedOn = false;
    }
    m_focusClick = event->reason() == Qt::MouseFocusReason;
    controlFocusIn(this);
}

void TDateTimePicker::selectFirstSection()
{
    if (sectionCount() > 0) {
        setCurrentSectionIndex(0);
        setSelectedSection(sectionAt(0));
    }
}

void TDateTimePicker::mousePressEvent(QMouseEvent *event)
{
    QDateEdit::mousePressEvent(event);
    // The click that brought the focus also starts at the first part; a
    // click in a field already being typed in chooses the part clicked.
    if (m_focusClick && !calendarWidget()->isVisible())
        selectFirstSection();
    m_focusClick = false;
}

void TDateTimePicker::wheelEvent(QWheelEvent *event)
{
    // The wheel over a field the operator is not typing in scrolls the
    // window, never the date under the pointer.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QDateEdit::wheelEvent(event);
}

void TDateTimePicker::focusOutEvent(QFocusEvent *event)
{
    QDateEdit::focusOutEvent(event);
    controlFocusOut(this);
}

bool TDateTimePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

void TDateTimePicker::showEvent(QShowEvent *event)
{
    applyFormat();
    QDateEdit::showEvent(event);
}

} // namespace kiv
