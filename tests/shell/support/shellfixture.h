#pragma once

#include "cripto.h"
#include "demodata.h"
#include "recordedtables.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

// A data directory of a few kitchens and their operators, and the registry
// stand-in pointing at it. The rows are written in branch order, one row
// per operator, as the central system exports them.
struct ShellOperator
{
    QString branch;
    QString branchName;
    QString code;
    QString name;
    QString password;  // plain; the file holds it scrambled
    QString prodMask;
};

inline QList<ShellOperator> defaultOperators()
{
    return {
        {"0001", "COZINHA CENTRAL NORTE", "000000000001", "ANA LIMA", "senha1", "999.999"},
        // A quote in a real password must still log in.
        {"0001", "COZINHA CENTRAL NORTE", "000000000002", "BRUNO COSTA", "d'água", "999.999"},
        // The same operator code in another branch is another person.
        {"0002", "ESCOLA VILA NOVA", "000000000001", "CARLA DIAS", "vila2", "99-9999"},
        {"0002", "ESCOLA VILA NOVA", "000000000003", "DAVI REIS", "davi3", "99-9999"},
        {"0003", "CRECHE SOL NASCENTE", "000000000007", "ÉRICA PAZ", "eva7", "9999"},
    };
}

class ShellDataDir
{
public:
    // The directory itself, without a trailing separator.
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    QString registryFile() const { return m_registry.filePath(QStringLiteral("Ostrel.ini")); }

    void writeOperators(const QList<ShellOperator> &operators = defaultOperators())
    {
        QList<QVariantMap> rows;
        for (const ShellOperator &op : operators)
            rows.append({{"CDFILIAL", op.branch},
                         {"NMFILIAL", op.branchName},
                         {"DIREXP", QStringLiteral("C:\\Kiv\\Exporta\\%1\\").arg(op.branch)},
                         {"CDSENHAOPE", kiv::CriptoPlus(op.password)},
                         {"CDFILIOPER", op.branch + op.code},
                         {"CDOPERADOR", op.code},
                         {"NMOPERADOR", op.name},
                         {"PRODMASK", op.prodMask}});
        kiv::DemoData::writeTable(filePath(QStringLiteral("DADOS_KIPC.CDS")),
                                  kiv::RecordedTables::dadosKipc(), rows);
    }

    // Points the registry stand-in at value (written as given); a null
    // value leaves KivpcDir out of the file.
    void registerValue(const QString &value) const
    {
        QFile file(registryFile());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            file.write("; registry stand-in for the tests\n");
            if (!value.isNull())
                file.write(QStringLiteral("KivpcDir=%1\n").arg(value).toUtf8());
        }
        qputenv("KIV_REGISTRY_INI", registryFile().toLocal8Bit());
    }

    void registerDirectory() const { registerValue(path()); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_registry;
};
