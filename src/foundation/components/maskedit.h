#pragma once

#include "controlevents.h"
#include "datasource.h"
#include "editmask.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>

namespace kiv {

class Field;

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// A line edit with the platform's edit mask ("9999;0; ") and the events
// the windows hang their rules on (OnEnter, OnExit, OnKeyDown, OnKeyPress
// of TControlEvents, and OnChange).
//
// Text() and SetText() speak the platform's sense of the text: with a mask
// that does not save its literals, Text() is the typed characters alone
// (the digits of a branch code, "10122026" for a date masked
// "!99/99/0000;0;_"), and a text of literals alone (the "//" of an empty
// date) is empty.
class TMaskEdit : public QLineEdit, public TControlEvents
{
    Q_OBJECT

public:
    explicit TMaskEdit(QWidget *parent = nullptr);

    // The mask in the platform's mask language; empty for none.
    void setEditMask(const QString &platformMask);
    QString editMask() const { return m_ownMask; }
    const EditMask &mask() const { return m_mask; }

    QString Text() const;
    void SetText(const QString &text);

    void setCharCase(TEditCharCase charCase) { m_charCase = charCase; }
    TEditCharCase charCase() const { return m_charCase; }

    // Every change of the text, typed or set by code.
    std::function<void()> OnChange;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

    // What the edit does with a key the window's handlers let through.
    virtual void handleKey(QKeyEvent *event);
    // The mask in force: the edit's own one here.
    virtual QString effectiveMask() const { return m_ownMask; }
    void applyMask();

private:
    QString withCase(const QString &text) const;

    QString m_ownMask;
    QString m_appliedMask;
    EditMask m_mask;
    TEditCharCase m_charCase = ecNormal;
};

// An edit bound to one field of the current record of a data source.
//
// It shows the field's text (through the field's edit mask when the window
// gave it one, otherwise through the edit's own mask) and follows record
// moves, cancelled edits and values set by code.
//
// Typing starts editing the table (Edit(); on an empty table that inserts a
// record); a character the field cannot hold (a letter in a number) is
// refused. The typed text is written to the field, through Field::SetText
// so that the field's OnSetText applies, when the edit is left for another
// control of the window or Enter is pressed, and when a command calls the
// data source's UpdateRecord; until then the other controls still show the
// record's value. The field is written before the window's OnExit runs, so
// the exit validations read the new value. A text the field refuses (an
// invalid date) keeps the focus in the edit. Esc with typed text not yet
// written puts the field's value back.
//
// The edit is read-only while the field is read-only or calculated, the
// data source is disabled or has no active table, or the window made it so
// with SetReadOnly.
class TDBEdit : public TMaskEdit
{
    Q_OBJECT

public:
    explicit TDBEdit(QWidget *parent = nullptr);

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);
    QString DataField() const { return m_fieldName; }
    void SetDataField(const QString &fieldName);
    // The bound field, or null (no source, no table, no such field).
    Field *field() const;

    bool ReadOnly() const { return m_readOnlyByWindow; }
    void SetReadOnly(bool readOnly);

    // Typed text not yet written to the field.
    bool Modified() const { return m_modified; }
    // Writes typed text to the field; errors reach the caller.
    void UpdateRecord();
    // Drops typed text: shows the field's value again.
    void Reset();

protected:
    void handleKey(QKeyEvent *event) override;
    QString effectiveMask() const override;
    bool commitOnExit() override;

private:
    void onDataChanged(int fieldIndex);
    void onTextEdited();
    void load();
    void updateReadOnly();
    bool canModify() const;
    bool acceptsChar(QChar c) const;
    void startEditing();

    QPointer<TDataSource> m_source;
    QString m_fieldName;
    QList<QMetaObject::Connection> m_connections;
    bool m_readOnlyByWindow = false;
    bool m_modified = false;
    bool m_loading = false;
    int m_fieldMaxLength = 0;
};

} // namespace kiv
