#include "recordedtables.h"

namespace kiv::RecordedTables {

namespace {

FieldDef shown(const QString &name, int size, const QString &label, int displayWidth = 0)
{
    FieldDef field = FieldDef::text(name, size, label);
    field.displayWidth = displayWidth;
    return field;
}

FieldDef hidden(const QString &name, int size, const QString &label = {})
{
    return FieldDef::text(name, size, label, false);
}

// Text of fixed width (the file says so with its subtype).
FieldDef fixedWidth(FieldDef field)
{
    field.fixedChar = true;
    return field;
}

FieldDef hiddenOf(const QString &name, FieldKind kind)
{
    return FieldDef::of(name, kind, {}, false);
}

// The item total: quantity times unit value, worked out for every row shown.
FieldDef itemTotal(int displayWidth)
{
    FieldDef field = FieldDef::of("VRTOTPROD", FieldKind::Float, "Vr. Total");
    field.displayWidth = displayWidth;
    field.calculated = true;
    return field;
}

} // namespace

TableDecl dadosKipc()
{
    // The login lists branches only; operator fields keep their captions
    // for the lists the login builds from them.
    return {"DADOS_KIPC.CDS",
            {
                shown("CDFILIAL", 4, "Código"),
                shown("NMFILIAL", 30, "Nome"),
                hidden("DIREXP", 100),
                hidden("CDSENHAOPE", 20),
                hidden("CDFILIOPER", 16),
                hidden("CDOPERADOR", 12, "Código"),
                hidden("NMOPERADOR", 40, "Nome"),
                hidden("PRODMASK", 20),
            },
            {}};
}

TableDecl lancEntr()
{
    // No index: documents are browsed in the order they were recorded.
    return {"LANCENTR.cds",
            {
                hidden("NRLANCNFE", 18),
                hidden("CDFILIAL", 4),
                hidden("CDTIPOOPER", 2),
                hidden("NMTIPOOPER", 30),
                hidden("IDENTORIOP", 1),
                hidden("CDORIGEM", 21),
                hidden("NMORIGEM", 50),
                hidden("NRINSJURNF", 20),
                hiddenOf("DTEMISSAO", FieldKind::Date),
                hiddenOf("DTENTRADA", FieldKind::Date),
                hidden("VRNOTAFISC", 10),
                hidden("NRNOTAFISC", 20),
                hidden("CDSERIE", 5),
                hidden("IDUTILVENC", 1),
                hidden("ORIGNFSER", 51),
                hidden("IDIMPAF", 1),
                hidden("NRAUTOFORN", 10),
                hiddenOf("DTPENTAF", FieldKind::Date),
            },
            {}};
}

TableDecl itemEntr()
{
    return {"ITEMENTR.cds",
            {
                hidden("NRLANCNFE", 18),
                hidden("CDPRODUTO", 10),
                shown("CDARVPROD", 30, "Código"),
                shown("NMPRODUTO", 50, "Nome"),
                shown("SGUNIDADE", 5, "UN"),
                shown("QTITEMPROD", 10, "Qtde", 15),
                shown("VRUNITITEM", 10, "Vr. Unitário"),
                hidden("NRNFEPROD", 28),
                hidden("CDFILLANC", 4),
                hidden("CDFILDEST", 4),
                hidden("CDMARCA", 5),
                hidden("QTPENTAF", 10),
                hidden("VRPREUNIAF", 10),
                hidden("CDPSQPROD", 20, "Código"),
                itemTotal(0),
            },
            "CDARVPROD"};
}

TableDecl vencEntr()
{
    return {"VENCENTR.cds",
            {
                hidden("NRLANCNFE", 18),
                FieldDef::of("DTVENCENTR", FieldKind::Date, "Vencimento"),
                shown("VRVENCENTR", 10, "Valor"),
                hidden("STDTVCENTR", 10),
            },
            {}};
}

TableDecl lancSaid()
{
    return {"LANCSAID.cds",
            {
                hidden("NRLANCNFS", 18),
                hidden("CDFILIAL", 4),
                hidden("CDTIPOOPER", 2),
                hidden("NMTIPOOPER", 30),
                hidden("IDENTORIOP", 1),
                hidden("CDORIGEM", 21),
                hidden("NMORIGEM", 40),
                hidden("NRINSJURNF", 20),
                hiddenOf("DTSAIDA", FieldKind::Date),
                hidden("VRNOTAFISC", 10),
                hidden("IDUTILVENC", 1),
            },
            {}};
}

TableDecl itemSaid()
{
    return {"ITEMSAID.cds",
            {
                hidden("NRLANCNFS", 18),
                hidden("CDPRODUTO", 10),
                shown("CDARVPROD", 30, "Código"),
                shown("NMPRODUTO", 50, "Nome"),
                shown("SGUNIDADE", 5, "UN"),
                shown("QTITEMPROD", 10, "Qtde"),
                shown("VRUNITITEM", 10, "Vr. Unitário", 15),
                itemTotal(10),
                hidden("NRNFSPROD", 28),
            },
            "CDARVPROD"};
}

TableDecl vencSaid()
{
    return {"VENCSAID.cds",
            {
                hidden("NRLANCNFS", 18),
                FieldDef::of("DTVENCSAID", FieldKind::Date, "Vencimento"),
                shown("VRVENCSAID", 10, "Valor"),
            },
            "DTVENCSAID"};
}

TableDecl soliComp()
{
    // FILSOLPRDT is the row key: branch, request number, product and the
    // date as short date text (4 + 10 + 10 + 10).
    return {"SOLICOMP.cds",
            {
                hidden("CDFILISOLI", 4),
                hidden("CDFILLAN", 4),
                shown("NRSOLICMP", 10, "Solicitação"),
                hidden("CDPRODUTO", 10),
                shown("CDARVPROD", 20, "Código"),
                hidden("CDPSQPROD", 20),
                shown("NMPRODUTO", 50, "Nome"),
                hiddenOf("DTPROGENTR", FieldKind::DateTime),
                shown("QTSOLICPRO", 10, "Prevista", 40),
                shown("QTAJUSTPRO", 10, "Ajustada", 40),
                shown("SGUNIDADE", 10, "Unidade", 10),
                shown("DSJUSTSOLI", 50, "Justificativa"),
                fixedWidth(hidden("CDOPERSOLI", 12)),
                hidden("FILSOLPRDT", 34),
            },
            "CDARVPROD"};
}

TableDecl efetivos()
{
    // The quantities are numbers kept as text, written by the central
    // system with either decimal mark.
    return {"EFETIVOS.cds",
            {
                FieldDef::text("CDFILIAL", 4, "Filial"),
                FieldDef::of("DTEFETIVO", FieldKind::DateTime, "Data Efetivo"),
                FieldDef::text("CDSERVFILI", 5, "Serviço"),
                FieldDef::text("CDTIPOCARD", 10, "Tipo de Cardápio"),
                FieldDef::text("QTCLIENTE", 40, "Clientes"),
                FieldDef::text("QTFUNC", 40, "Funcionários"),
                FieldDef::text("QTDOACAO", 40, "Doações"),
                FieldDef::text("CDFILCENT", 4),
                FieldDef::text("NRCARDPME", 10),
                FieldDef::text("NRCDIAPME", 10),
                FieldDef::text("FILSETPCDT", 29),
            },
            "CDSERVFILI"};
}

TableDecl efetClie()
{
    // FILTPCSEDT joins branch, menu type, service and the date as short
    // date text (4 + 10 + 5 + 10).
    return {"EFETCLIE.cds",
            {
                shown("NMCLIENTE", 40, "Cliente"),
                shown("QTCLIENTE", 10, "Clientes"),
                shown("QTFUNC", 10, "Funcionários"),
                shown("QTDOACAO", 10, "Doações"),
                hidden("CDCLIENTE", 21),
                hidden("CDFILCENT", 4),
                hidden("CDFILIAL", 4),
                hidden("CDTIPOCARD", 10),
                hidden("CDSERVFILI", 5),
                hiddenOf("DTPROGENTR", FieldKind::Date),
                hidden("FILTPCSEDT", 29),
            },
            "NMCLIENTE"};
}

TableDecl prevReti()
{
    // Browsed by service, then product name: every service of the branch
    // comes as one run of rows. FILSERPRDT joins branch, service, product
    // and the date as short date text (4 + 5 + 10 + 10).
    return {"PREVRETI.cds",
            {
                FieldDef::text("CDFILIAL", 4, "Filial"),
                FieldDef::text("CDSERVFILI", 5, "Serviço"),
                FieldDef::of("DTPREVRETI", FieldKind::DateTime, "Data"),
                FieldDef::text("CDPRODUTO", 10, "Cód. Produto"),
                FieldDef::text("CDARVPROD", 20, "Código"),
                FieldDef::text("CDPSQPROD", 20, "Produto"),
                FieldDef::text("NMPRODUTO", 50, "Produto"),
                FieldDef::text("SGUNIDADE", 10, "Unidade"),
                FieldDef::text("QTPREVRETI", 40, "Prevista"),
                fixedWidth(FieldDef::text("QTCONSRETI", 11, "Consumida")),
                FieldDef::text("CDTIPORETI", 2),
                FieldDef::text("NMTIPORETI", 40, "Tp Retirada"),
                fixedWidth(FieldDef::text("CDOPERADOR", 12)),
                FieldDef::text("FILSERPRDT", 29),
            },
            "CDSERVFILI;NMPRODUTO;CDARVPROD"};
}

TableDecl inventario()
{
    // The grid shows code, name, unit and quantity; the rest is filled
    // from the session, the window's date and the product table.
    return {"INVENTARIO.cds",
            {
                hidden("CDFILIAL", 4),
                hidden("CDOPERADOR", 12),
                hiddenOf("DTLANCESTQ", FieldKind::Date),
                hidden("CDPRODUTO", 10),
                hidden("FILOPEDTPD", 36),
                shown("CDARVPROD", 20, "Código"),
                shown("NMPRODUTO", 50, "Nome"),
                shown("SGUNIDADE", 5, "UN"),
                shown("QUANTPROD", 10, "Qtde"),
            },
            "CDARVPROD"};
}

TableDecl itemInvent()
{
    return {"ITEMINVENT.cds",
            {
                FieldDef::text("CDARVPROD", 20),
                FieldDef::text("CDFILIAL", 4),
                FieldDef::text("CDPRODUTO", 10),
                FieldDef::text("NRINVENTRETI", 10),
                FieldDef::text("NMPRODUTO", 50),
                FieldDef::text("SGUNIDADE", 5),
                fixedWidth(FieldDef::text("QTITINVENTRETI", 1)),
            },
            {}};
}

QList<TableDecl> all()
{
    return {dadosKipc(), lancEntr(), itemEntr(), vencEntr(), lancSaid(),
            itemSaid(), vencSaid(), soliComp(), efetivos(), efetClie(),
            prevReti(), inventario(), itemInvent()};
}

} // namespace kiv::RecordedTables
