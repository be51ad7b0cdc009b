#include "maskedit.h"

#include "fieldeditmask.h"
#include "guard.h"
#include "localeservice.h"

#include <QApplication>
#include <QKeyEvent>

namespace kiv {

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            guarded(this, OnChange);
    });
    // Typed keys are cased as they arrive; this catches a paste.
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_charCase == ecNormal || !inputMask().isEmpty() || withCase(text) == text)
            return;
        const int cursor = cursorPosition();
        setText(withCase(text));
        setCursorPosition(cursor);
    });
}

void TMaskEdit::setEditMask(const QString &platformMask)
{
    m_ownMask = platformMask;
    applyMask();
}

void TMaskEdit::applyMask()
{
    const QString platformMask = effectiveMask();
    if (platformMask == m_appliedMask)
        return;
    m_appliedMask = platformMask;
    m_mask = EditMask::fromPlatform(platformMask);
    setInputMask(m_mask.qtMask);
}

QString TMaskEdit::Text() const
{
    return m_mask.storedText(text());
}

void TMaskEdit::SetText(const QString &text)
{
    setText(m_mask.displayText(withCase(text)));
}

QString TMaskEdit::withCase(const QString &text) const
{
    switch (m_charCase) {
    case ecUpperCase: return text.toUpper();
    case ecLowerCase: return text.toLower();
    case ecNormal: break;
    }
    return text;
}

bool TMaskEdit::event(QEvent *event)
{
    // Tab moves the focus inside QWidget::event, before keyPressEvent: the
    // window's OnKeyDown sees it here, and can keep the focus by dropping it.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isTabKey(key) && !filterTabKey(this, key))
            return true;
    }
    return QLineEdit::event(event);
}

void TMaskEdit::keyPressEvent(QKeyEvent *event)
{
    if (isTabKey(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    std::unique_ptr<QKeyEvent> replacement;
    QKeyEvent *key = filterKey(this, event, replacement);
    if (!key)
        return;
    handleKey(key);
    if (key != event)
        event->setAccepted(key->isAccepted());
}

void TMaskEdit::handleKey(QKeyEvent *event)
{
    const QString text = event->text();
    if (m_charCase == ecNormal || text.isEmpty() || withCase(text) == text) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent cased(event->type(), event->key(), event->modifiers(), withCase(text),
                    event->isAutoRepeat(), event->count());
    QLineEdit::keyPressEvent(&cased);
    event->setAccepted(cased.isAccepted());
}

void TMaskEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    controlFocusIn(this);
}

void TMaskEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    controlFocusOut(this);
}

TDBEdit::TDBEdit(QWidget *parent) : TMaskEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::onTextEdited);
    updateReadOnly();
}

void TDBEdit::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (m_source)
        m_source->removePendingWriters(this);
    m_source = source;
    if (source) {
        m_connections = {
            connect(source, &TDataSource::dataChanged, this, &TDBEdit::onDataChanged),
            connect(source, &TDataSource::stateChanged, this, &TDBEdit::updateReadOnly),
            connect(source, &TDataSource::dataSetChanged, this, &TDBEdit::load),
            connect(source, &QObject::destroyed, this, &TDBEdit::load),
        };
        source->addPendingWriter(this, [this] { UpdateRecord(); });
    }
    load();
}

void TDBEdit::SetDataField(const QString &fieldName)
{
    m_fieldName = fieldName;
    load();
}

Field *TDBEdit::field() const
{
    if (!m_source || !m_source->DataSet() || m_fieldName.isEmpty())
        return nullptr;
    return m_source->DataSet()->FindField(m_fieldName);
}

void TDBEdit::SetReadOnly(bool readOnly)
{
    m_readOnlyByWindow = readOnly;
    updateReadOnly();
}

QString TDBEdit::effectiveMask() const
{
    if (Field *bound = field()) {
        const QString fieldMask = FieldEditMask(*bound);
        if (!fieldMask.isEmpty())
            return fieldMask;
    }
    return TMaskEdit::effectiveMask();
}

void TDBEdit::load()
{
    const bool wasLoading = m_loading;
    m_loading = true;
    applyMask();
    Field *bound = field();
    QString value;
    if (bound && m_source->Enabled() && bound->DataSet().Active())
        value = bound->AsString();
    // A text field holds at most its size: the edit takes no more (unless
    // the window set its own limit, or a mask sets one).
    if (bound && bound->DataType() == FieldKind::Text && bound->Size() > 0
        && inputMask().isEmpty() && (maxLength() == 32767 || maxLength() == m_fieldMaxLength)) {
        m_fieldMaxLength = bound->Size();
        setMaxLength(m_fieldMaxLength);
    }
    SetText(value);
    m_modified = false;
    m_loading = wasLoading;
    updateReadOnly();
}

void TDBEdit::onDataChanged(int fieldIndex)
{
    if (fieldIndex >= 0) {
        Field *bound = field();
        if (!bound || bound->Index() != fieldIndex)
            return;
    }
    load();
}

bool TDBEdit::canModify() const
{
    Field *bound = field();
    return !m_readOnlyByWindow && bound && !bound->ReadOnly() && !bound->Calculated()
           && m_source->Enabled() && bound->DataSet().Active();
}

void TDBEdit::updateReadOnly()
{
    setReadOnly(!canModify());
}

bool TDBEdit::acceptsChar(QChar c) const
{
    Field *bound = field();
    if (!bound || c.unicode() < 0x20)
        return true;
    switch (bound->DataType()) {
    case FieldKind::Float:
        return c.isDigit() || c == u'+' || c == u'-' || c == u'e' || c == u'E'
               || c == LocaleService::decimalSeparator();
    case FieldKind::Integer:
        return c.isDigit() || c == u'+' || c == u'-';
    default:
        return true;
    }
}

void TDBEdit::startEditing()
{
    Table &table = field()->DataSet();
    if (table.State() == DataSetState::Browse)
        table.Edit();
}

void TDBEdit::handleKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // Esc takes back what was typed; with nothing typed it is the
        // window's (a dialog's cancel, say).
        if (m_modified) {
            Reset();
            selectAll();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter writes the field, then goes on to the window (a default
        // button, a confirmation); a refused text keeps it here.
        if (!guarded(this, [this] { UpdateRecord(); })) {
            selectAll();
            event->accept();
            return;
        }
        break;
    default: {
        if (isReadOnly())
            break;
        const QString text = event->text();
        const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint();
        const bool modifies = typesCharacter || event->key() == Qt::Key_Backspace
                              || event->key() == Qt::Key_Delete
                              || event->matches(QKeySequence::Paste)
                              || event->matches(QKeySequence::Cut)
                              || event->matches(QKeySequence::Undo)
                              || event->matches(QKeySequence::Redo)
                              || event->matches(QKeySequence::DeleteEndOfWord)
                              || event->matches(QKeySequence::DeleteStartOfWord)
                              || event->matches(QKeySequence::DeleteEndOfLine)
                              || event->matches(QKeySequence::DeleteCompleteLine);
        if (!modifies)
            break;
        if (typesCharacter && !acceptsChar(text.at(0))) {
            QApplication::beep();
            event->accept();
            return;
        }
        // The record goes into editing before the key lands, so that a new
        // record (an empty table inserts one) receives it.
        if (!guarded(this, [this] { startEditing(); })) {
            event->accept();
            return;
        }
        break;
    }
    }
    TMaskEdit::handleKey(event);
}

void TDBEdit::onTextEdited()
{
    if (m_loading)
        return;
    Field *bound = field();
    if (bound && bound->DataSet().State() == DataSetState::Browse) {
        // Changed without a key (a paste from the context menu, a drop).
        const QString typed = text();
        const int cursor = cursorPosition();
        if (!guarded(this, [this] { startEditing(); })) {
            Reset();
            return;
        }
        if (text() != typed) {
            setText(typed);
            setCursorPosition(cursor);
        }
    }
    m_modified = true;
}

void TDBEdit::UpdateRecord()
{
    if (!m_modified)
        return;
    Field *bound = field();
    if (!bound) {
        m_modified = false;
        return;
    }
    Table &table = bound->DataSet();
    if (table.State() != DataSetState::Edit && table.State() != DataSetState::Insert)
        table.Edit();
    const QString value = Text();
    m_modified = false;
    try {
        bound->SetText(value);
    } catch (...) {
        m_modified = true;
        throw;
    }
}

void TDBEdit::Reset()
{
    load();
}

bool TDBEdit::commitOnExit()
{
    return guarded(this, [this] {
        try {
            UpdateRecord();
        } catch (...) {
            // Back into the edit before the message, so that the control the
            // operator was going to is never entered.
            setFocus(Qt::OtherFocusReason);
            selectAll();
            throw;
        }
    });
}

} // namespace kiv
