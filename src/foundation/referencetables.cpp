#include "referencetables.h"

namespace kiv::RefTables {

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

FieldDef hiddenOf(const QString &name, FieldKind kind, const QString &label = {})
{
    return FieldDef::of(name, kind, label, false);
}

} // namespace

TableDecl produto(ProductReader reader)
{
    const bool stock = reader == ProductReader::Entries || reader == ProductReader::Exits;
    const bool withdrawals = reader == ProductReader::Withdrawals;
    const bool upperCaseName = stock || reader == ProductReader::Inventory;

    FieldDef unit = shown("SGUNIDADE", 10, "UN", withdrawals ? 5 : 0);
    unit.visible = !stock;

    int nameWidth = 0;
    if (stock)
        nameWidth = 40;
    else if (withdrawals)
        nameWidth = 45;

    return {upperCaseName ? "PRODUTO.CDS" : "PRODUTO.cds",
            {
                hidden("CDPRODUTO", 10),
                hidden("CDARVPROD", 20),
                shown("CDPSQPROD", 20, "Código", withdrawals ? 15 : 0),
                shown("NMPRODUTO", 50, withdrawals ? "Produto" : "Nome", nameWidth),
                unit,
            },
            "CDARVPROD"};
}

TableDecl filial()
{
    return {"FILIAL.CDS",
            {
                shown("CDFILIAL", 4, "Código"),
                shown("NMFILIAL", 30, "Nome"),
                hidden("CDFILCENT", 4),
                hidden("IDBLOQNFSAF", 1),
            },
            "CDFILIAL"};
}

TableDecl cliente()
{
    return {"CLIENTE.CDS",
            {
                hidden("CDCLIENTE", 21),
                shown("NRMSKCLIE", 20, "Código"),
                hidden("NRINSJURCL", 20),
                shown("NMRAZSOCCL", 50, "Nome", 40),
            },
            "CDCLIENTE"};
}

TableDecl forneced()
{
    return {"FORNECED.cds",
            {
                hidden("CDFORNECED", 21),
                shown("NRMSKFORN", 20, "Código"),
                hidden("NRINSJURFO", 20),
                shown("NMRAZSOCFO", 40, "Nome"),
            },
            "CDFORNECED"};
}

TableDecl tipoOper()
{
    return {"TIPOOPER.cds",
            {
                shown("CDTIPOOPER", 2, "Código"),
                shown("NMTIPOOPER", 30, "Nome"),
                hidden("IDENTTIPOP", 1),
                hidden("IDENTORIOP", 1),
                hidden("IDUTILVENC", 1),
            },
            "CDTIPOOPER"};
}

TableDecl serie()
{
    return {"SERIE.cds",
            {
                shown("CDSERIE", 5, "Código"),
                shown("DSSERIE", 20, "Nome"),
                hidden("IDLANCMTO", 1),
            },
            "CDSERIE"};
}

TableDecl expFilial()
{
    // The code here is a prefix of product codes, hence wider than theirs.
    return {"EXPFILIAL.cds",
            {
                hidden("CDFILIAL", 4),
                shown("CDARVPROD", 30, "Código"),
                hidden("IDBLOQNFSAF", 1),
            },
            {}};
}

TableDecl param()
{
    return {"PARAM.cds",
            {
                hidden("IDCONSMEFE", 1),
                hidden("IDBLOQNFSAF", 1),
            },
            {}};
}

TableDecl numAf()
{
    return {"NUMAF.cds",
            {
                hidden("CDFILLANC", 4),
                shown("CDFILDEST", 4, "Código"),
                shown("NRAUTOFORN", 10, "Número"),
                shown("CDFORNECED", 21, "Código"),
                hiddenOf("DTPENTAF", FieldKind::DateTime, "Data"),
                shown("STDTPENTAF", 10, "Data"),
                shown("VRTOTALAF", 40, "Valor"),
                hidden("IDUTILIZA", 1),
            },
            "CDFORNECED"};
}

TableDecl itemAf()
{
    return {"ITEMAF.cds",
            {
                hidden("CDFILLANC", 4),
                hidden("CDFILDEST", 4),
                hidden("NRAUTOFORN", 10),
                hidden("CDMARCA", 5),
                hidden("CDPRODUTO", 10),
                hiddenOf("DTPENTAF", FieldKind::DateTime),
                hidden("QTPENTAF", 40),
                hidden("VRPREUNIAF", 40),
                hidden("CDARVPROD", 20),
                hidden("NMPRODUTO", 50),
                hidden("SGUNIDADE", 10),
                hidden("CDPSQPROD", 20),
            },
            {}};
}

TableDecl justSoli()
{
    return {"JustSoli.cds", {shown("DSJUSTSOL", 40, "Justificativa")}, "DSJUSTSOL"};
}

TableDecl solicita()
{
    // The trailing blank of the request label is how the lookup shows it.
    return {"SOLICITA.cds",
            {
                hidden("CDFILSOLI", 4),
                shown("NRSOLICOMP", 10, "Solicitação ", 15),
                shown("CDFILLAN", 4, "Filial de lançamento"),
            },
            {}};
}

TableDecl paraSupri()
{
    return {"ParaSupri.cds",
            {
                hidden("IDJUSTSOLI", 1),
                hidden("IDBLOQALTSOLAVR", 1),
            },
            {}};
}

TableDecl dataSoli()
{
    // The delivery date is the one column of the purchase window's date list.
    FieldDef date = FieldDef::of("DTPROGENTR", FieldKind::DateTime);
    date.displayWidth = 30;
    return {"DATASOLI.cds",
            {
                hidden("CDFILSOLI", 4),
                date,
                hidden("STDATASOLI", 10),
            },
            "DTPROGENTR"};
}

TableDecl tipoCard()
{
    return {"TIPOCARD.cds",
            {
                hidden("CDFILIAL", 4, "Filial"),
                shown("CDTIPOCARD", 10, "Código", 12),
                shown("NMTIPOCARD", 100, "Nome", 50),
            },
            "CDTIPOCARD"};
}

TableDecl servico()
{
    return {"SERVICO.cds",
            {
                shown("CDFILIAL", 4, "Filial"),
                shown("CDSERVFILI", 5, "Código"),
                shown("NMSERVICO", 40, "Serviço"),
                hidden("CDTIPOCARD", 10),
            },
            {}};
}

TableDecl servClie()
{
    // FILTPCSERV joins branch, menu type and service codes (4 + 10 + 5).
    return {"SERVCLIE.cds",
            {
                hidden("CDFILIAL", 4),
                hidden("CDTIPOCARD", 10),
                hidden("CDSERVFILI", 5),
                hidden("CDCLIENTE", 21),
                shown("NMCLIENTE", 40, "Cliente"),
                hidden("FILTPCSERV", 19),
            },
            "NMCLIENTE"};
}

TableDecl tipoReti()
{
    return {"TIPORETI.cds",
            {
                shown("CDTIPORETI", 2, "Código"),
                shown("NMTIPORETI", 40, "Tipo de Retirada", 50),
            },
            "CDTIPORETI"};
}

QList<TableDecl> all()
{
    return {produto(ProductReader::Inventory),
            filial(),
            cliente(),
            forneced(),
            tipoOper(),
            serie(),
            expFilial(),
            param(),
            numAf(),
            itemAf(),
            justSoli(),
            solicita(),
            paraSupri(),
            dataSoli(),
            tipoCard(),
            servico(),
            servClie(),
            tipoReti()};
}

} // namespace kiv::RefTables
