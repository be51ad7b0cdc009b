#include "lanentrtests.h"

#include "localeservice.h"
#include "maskedit.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "tabledecl.h"
#include "tfrmlanentr.h"
#include "tfrmprincipal.h"

#include <QTest>

using namespace kiv;

namespace lanentrtests {

kivtest::Session session()
{
    return {.branch = kBranch,
            .branchName = kBranchName,
            .productMask = QStringLiteral("99.99.999;1;_")};
}

EntryDataDirectory::EntryDataDirectory()
{
    const kivtest::Session s = session();
    write(RecordedTables::dadosKipc(), {{{"CDFILIAL", s.branch},
                                         {"NMFILIAL", s.branchName},
                                         {"CDOPERADOR", s.operatorCode},
                                         {"NMOPERADOR", s.operatorName},
                                         {"PRODMASK", s.productMask}}});
    for (const TableDecl &decl :
         {RefTables::tipoOper(), RefTables::forneced(), RefTables::cliente(),
          RefTables::filial(), RefTables::serie(), RefTables::expFilial(), RefTables::param(),
          RefTables::numAf(), RefTables::itemAf(),
          RefTables::produto(RefTables::ProductReader::Entries), RecordedTables::lancEntr(),
          RecordedTables::itemEntr(), RecordedTables::vencEntr()})
        write(decl, {});
}

TfrmLanEntr *openEntryWindow(std::unique_ptr<TfrmPrincipal> &principal)
{
    principal.reset();
    principal = kivtest::startMainWindow(session());
    if (!principal)
        return nullptr;
    auto window = std::make_unique<TfrmLanEntr>(principal->CurrentSession());
    window->Create();
    if (!kivtest::showActive(window.get()))
        return nullptr;
    return window.release();
}

void newDocument(TfrmLanEntr *w, const QString &operation)
{
    QVERIFY(kivtest::command(w->sbtIncluir));
    QVERIFY(kivtest::focusOn(w->medOperacao));
    kivtest::type(operation);
    kivtest::press(Qt::Key_Tab);
    QVERIFY(kivtest::focusOn(w->medOrigem));
}

QString header(const TfrmLanEntr *w, const char *name)
{
    return w->cdsLancEntr->FieldByName(QString::fromLatin1(name))->AsString();
}

QString withSeparator(QString text)
{
    return text.replace(u',', LocaleService::decimalSeparator());
}

QVariantMap operationRow(const char *code, const char *name, const char *origin,
                         const char *dueDates, const char *kind)
{
    return {{"CDTIPOOPER", code},
            {"NMTIPOOPER", QString::fromUtf8(name)},
            {"IDENTTIPOP", kind},
            {"IDENTORIOP", origin},
            {"IDUTILVENC", dueDates}};
}

QVariantMap productRow(const char *id, const char *code, const char *name, const char *unit)
{
    return {{"CDPRODUTO", id},
            {"CDARVPROD", code},
            {"CDPSQPROD", code},
            {"NMPRODUTO", QString::fromUtf8(name)},
            {"SGUNIDADE", unit}};
}

QVariantMap supplierF100()
{
    return {{"CDFORNECED", "F100"},
            {"NRMSKFORN", "11.222.333/0001-44"},
            {"NRINSJURFO", "11222333000144"},
            {"NMRAZSOCFO", "CEREALISTA BOA SAFRA"}};
}

QVariantMap seriesU()
{
    return {{"CDSERIE", "U"}, {"DSSERIE", QStringLiteral("ÚNICA")}, {"IDLANCMTO", "E"}};
}

} // namespace lanentrtests
