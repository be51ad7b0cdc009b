#pragma once

#include <QList>
#include <QString>

namespace kiv {

enum class FieldKind : quint8 { Text, Float, Integer, Date, DateTime };

// One declared field of a table.
struct FieldDef
{
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;             // characters kept, text fields only
    QString label;            // caption in lookup lists and grids; empty: the name
    bool visible = true;      // false: hidden from lookup lists
    int displayWidth = 0;     // characters shown; 0: the field's size
    bool calculated = false;  // computed by OnCalcFields, never stored
    bool fixedChar = false;   // text of fixed width (written with SUBTYPE="FixedChar")

    static FieldDef text(const QString &name, int size, const QString &label = {},
                         bool visible = true)
    {
        return {name, FieldKind::Text, size, label, visible, 0, false, false};
    }
    static FieldDef of(const QString &name, FieldKind kind, const QString &label = {},
                       bool visible = true)
    {
        return {name, kind, 0, label, visible, 0, false, false};
    }
};

// A table file as the windows know it: the name they spell, the fields
// they read and write, and the browsing order they set.
struct TableDecl
{
    QString fileName;
    QList<FieldDef> fields;
    QString indexFieldNames;

    const FieldDef *field(const QString &name) const
    {
        for (const FieldDef &f : fields)
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                return &f;
        return nullptr;
    }
};

} // namespace kiv
