#include "fieldeditmask.h"

#include "table.h"

namespace kiv {

namespace {

QByteArray propertyName(const Field &field)
{
    return "kiv.editMask." + field.FieldName().toUpper().toUtf8();
}

} // namespace

void SetFieldEditMask(Field &field, const QString &platformMask)
{
    field.DataSet().setProperty(propertyName(field).constData(),
                                platformMask.isEmpty() ? QVariant() : QVariant(platformMask));
}

QString FieldEditMask(const Field &field)
{
    return field.DataSet().property(propertyName(field).constData()).toString();
}

} // namespace kiv
