#pragma once

#include <QString>

namespace kiv {

class Field;

// The edit mask a window gives a field (the product code's PRODMASK plus a
// blank, the library's date mask for a due date), in the platform's mask
// language. Data edits and grid cells bound to the field type through it.
// Kept on the field's table, by field name, so that it outlives a table
// redeclared by a load.
void SetFieldEditMask(Field &field, const QString &platformMask);
// Empty when the field has none.
QString FieldEditMask(const Field &field);

} // namespace kiv
