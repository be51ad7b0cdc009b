#include "lansaidatests.h"

#include "datetimepicker.h"
#include "dbgrid.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tablefile.h"
#include "tfrmlansaida.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QFileInfo>
#include <QTest>

using namespace kiv;

namespace lansaidatests {

namespace {

QVariantMap operationRow(const char *code, const char *name, const char *kind,
                         const char *destination, const char *dueDates)
{
    return {{"CDTIPOOPER", code},
            {"NMTIPOOPER", QString::fromUtf8(name)},
            {"IDENTTIPOP", kind},
            {"IDENTORIOP", destination},
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

QString productId(const QString &code)
{
    if (code == QLatin1String("01.02.001"))
        return QStringLiteral("1021");
    if (code == QLatin1String("01.03.001"))
        return QStringLiteral("1031");
    return QStringLiteral("1301");
}

QString line(QChar kind, const QStringList &fields)
{
    return QString(kind) + u'|' + fields.join(u'|');
}

} // namespace

kivtest::Session session()
{
    return {.branch = kBranch,
            .branchName = kBranchName,
            .productMask = QStringLiteral("99.99.999;1;_")};
}

ExitDataDirectory::ExitDataDirectory(const QList<Doc> &docs)
{
    const kivtest::Session s = session();
    write(RecordedTables::dadosKipc(), {{{"CDFILIAL", s.branch},
                                         {"NMFILIAL", s.branchName},
                                         {"CDOPERADOR", s.operatorCode},
                                         {"NMOPERADOR", s.operatorName},
                                         {"PRODMASK", s.productMask}}});
    write(RefTables::tipoOper(), {operationRow("01", "COMPRA DE FORNECEDOR", "E", "F", "S"),
                                  operationRow("51", "VENDA A PRAZO", "S", "C", "S"),
                                  operationRow("52", "DOAÇÃO A ESCOLA", "S", "C", "N"),
                                  operationRow("53", "DEVOLUÇÃO A FORNECEDOR", "S", "F", "N"),
                                  operationRow("54", "TRANSFERÊNCIA ENTRE FILIAIS", "S", "L", "N"),
                                  operationRow("55", "DEVOLUÇÃO COM ABATIMENTO", "S", "F", "S")});
    write(RefTables::cliente(), {{{"CDCLIENTE", "C200"},
                                  {"NRMSKCLIE", "55.666.777/0001-88"},
                                  {"NRINSJURCL", kClient},
                                  {"NMRAZSOCCL", "ESCOLA MUNICIPAL JARDIM"}}});
    write(RefTables::forneced(), {{{"CDFORNECED", "F100"},
                                   {"NRMSKFORN", "11.222.333/0001-44"},
                                   {"NRINSJURFO", kSupplier},
                                   {"NMRAZSOCFO", "CEREALISTA BOA SAFRA"}}});
    write(RefTables::filial(), {{{"CDFILIAL", kBranch}, {"NMFILIAL", kBranchName}},
                                {{"CDFILIAL", kOtherBranch}, {"NMFILIAL", "COZINHA SUL"}},
                                {{"CDFILIAL", "0012"}, {"NMFILIAL", "COZINHA LESTE"}}});
    write(RefTables::produto(RefTables::ProductReader::Exits),
          {productRow("1021", "01.02.001", "ARROZ AGULHINHA", "KG"),
           productRow("1031", "01.03.001", "FEIJÃO CARIOCA", "KG"),
           productRow("1301", "13.01.001", "ÓLEO DE SOJA", "LT")});
    writeDocuments(docs);
}

void ExitDataDirectory::writeDocuments(const QList<Doc> &docs) const
{
    QList<QVariantMap> headers, items, dues;
    for (const Doc &d : docs) {
        const bool withDues
            = d.operation == QLatin1String("51") || d.operation == QLatin1String("55");
        headers.append({{"NRLANCNFS", d.number},
                        {"CDFILIAL", d.branch},
                        {"CDTIPOOPER", d.operation},
                        {"IDENTORIOP", d.operation == "53" || d.operation == "55" ? "F" : "C"},
                        {"CDORIGEM", "C200"},
                        {"NRINSJURNF", kClient},
                        {"NMORIGEM", "ESCOLA MUNICIPAL JARDIM"},
                        {"DTSAIDA", kExit},
                        {"VRNOTAFISC", withSeparator(d.total)},
                        {"IDUTILVENC", withDues ? "S" : "N"}});
        for (const Item &i : d.items)
            items.append({{"NRLANCNFS", d.number},
                          {"CDPRODUTO", productId(i.code)},
                          {"CDARVPROD", i.code},
                          {"QTITEMPROD", withSeparator(i.quantity)},
                          {"VRUNITITEM", withSeparator(i.value)}});
        for (const Due &v : d.dues)
            dues.append({{"NRLANCNFS", d.number},
                         {"DTVENCSAID", v.date},
                         {"VRVENCSAID", withSeparator(v.value)}});
    }
    write(RecordedTables::lancSaid(), headers);
    write(RecordedTables::itemSaid(), items);
    write(RecordedTables::vencSaid(), dues);
}

qint64 ExitDataDirectory::size(const QString &name) const
{
    return QFileInfo(TableFile::resolve(filePath(name))).size();
}

QStringList ExitDataDirectory::onDisk() const
{
    QStringList lines;
    const auto headers = load(RecordedTables::lancSaid());
    const auto s = [](const Table &t, const char *n) {
        return t.FieldByName(QString::fromLatin1(n))->AsString();
    };
    for (headers->First(); !headers->Eof(); headers->Next())
        lines.append(line(u'H', {s(*headers, "NRLANCNFS"), s(*headers, "CDFILIAL"),
                                 s(*headers, "CDTIPOOPER"), s(*headers, "VRNOTAFISC")}));
    const auto items = load(RecordedTables::itemSaid());
    for (items->First(); !items->Eof(); items->Next())
        lines.append(
            line(u'I', {s(*items, "NRLANCNFS"), s(*items, "CDARVPROD"), s(*items, "CDPRODUTO"),
                        s(*items, "QTITEMPROD"), s(*items, "VRUNITITEM")}));
    const auto dues = load(RecordedTables::vencSaid());
    for (dues->First(); !dues->Eof(); dues->Next())
        lines.append(line(u'V', {s(*dues, "NRLANCNFS"),
                                 dues->FieldByName("DTVENCSAID")->AsDate().toString(Qt::ISODate),
                                 s(*dues, "VRVENCSAID")}));
    lines.sort();
    return lines;
}

QStringList linesOf(const QList<Doc> &docs)
{
    QStringList lines;
    for (const Doc &d : docs) {
        lines.append(line(u'H', {d.number, d.branch, d.operation, withSeparator(d.total)}));
        for (const Item &i : d.items)
            lines.append(line(u'I', {d.number, i.code, productId(i.code), withSeparator(i.quantity),
                                     withSeparator(i.value)}));
        for (const Due &v : d.dues)
            lines.append(
                line(u'V', {d.number, v.date.toString(Qt::ISODate), withSeparator(v.value)}));
    }
    lines.sort();
    return lines;
}

TfrmLanSaida *openExitWindow(std::unique_ptr<TfrmPrincipal> &principal)
{
    principal.reset();
    principal = kivtest::startMainWindow(session());
    if (!principal)
        return nullptr;
    auto window = std::make_unique<TfrmLanSaida>(principal->CurrentSession());
    window->Create();
    if (!kivtest::showActive(window.get()))
        return nullptr;
    return window.release();
}

QString header(const TfrmLanSaida *w, const char *name)
{
    return w->cdsLancSaid->FieldByName(QString::fromLatin1(name))->AsString();
}

QString withSeparator(QString text)
{
    return text.replace(u',', LocaleService::decimalSeparator());
}

void typeHeader(TfrmLanSaida *w, const QString &operation, const QString &destination)
{
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshFormulario);
    QVERIFY(kivtest::command(w->sbtIncluir));
    QVERIFY(kivtest::focusOn(w->medOperacao));
    kivtest::type(operation);
    kivtest::press(Qt::Key_Tab);
    QVERIFY(kivtest::focusOn(w->medDestino));
    kivtest::type(destination);
    kivtest::press(Qt::Key_Tab);
    QVERIFY(kivtest::focusOn(w->dtpSaida));
    w->dtpSaida->SetDate(kExit);
}

void typeItems(TfrmLanSaida *w, const QList<Item> &items, bool post)
{
    QVERIFY(w->mnuProduto->isEnabled());
    w->mnuProduto->trigger();
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshProduto);
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    for (int i = 0; i < items.size(); ++i) {
        if (i == 0)
            w->cdsProduto->Last();
        // Below the last row the grid opens a new one (posting the row left).
        kivtest::press(Qt::Key_Down);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
        w->dbgProduto->SetSelectedField("CDARVPROD");
        kivtest::type(QString(items[i].code).remove(u'.'));
        kivtest::press(Qt::Key_Tab);
        QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("QTITEMPROD"));
        kivtest::type(withSeparator(items[i].quantity));
        kivtest::press(Qt::Key_Tab);
        QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("VRUNITITEM"));
        kivtest::type(withSeparator(items[i].value));
    }
    if (post) {
        // Up leaves the row, which posts it.
        kivtest::press(Qt::Key_Up);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    }
}

void typeDues(TfrmLanSaida *w, const QList<Due> &dues, bool post)
{
    QVERIFY(w->tshVenc->isEnabled());
    QVERIFY(w->pgcLancSaid->SelectPage(w->pgcLancSaid->indexOf(w->tshVenc)));
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshVenc);
    w->dbgVenc->setFocus();
    QTRY_VERIFY(w->dbgVenc->hasFocus());
    for (int i = 0; i < dues.size(); ++i) {
        if (i == 0)
            w->cdsVenc->Last();
        kivtest::press(Qt::Key_Down);
        QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
        w->dbgVenc->SetSelectedField("DTVENCSAID");
        kivtest::type(dues[i].date.toString("ddMMyyyy"));
        kivtest::press(Qt::Key_Tab);
        QCOMPARE(w->dbgVenc->SelectedField()->FieldName(), QString("VRVENCSAID"));
        kivtest::type(withSeparator(dues[i].value));
    }
    if (post) {
        kivtest::press(Qt::Key_Up);
        QCOMPARE(w->cdsVenc->State(), DataSetState::Browse);
    }
}

} // namespace lansaidatests
