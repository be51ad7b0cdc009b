#include "demodata.h"

#include "cripto.h"
#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tabledata.h"
#include "tablefile.h"

#include <QDir>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <functional>
#include <string>

namespace kiv::DemoData {

namespace {

using Row = QVariantMap;

// The codes are shaped by the product mask "99.99.999": group, subgroup,
// item. The price is what the suppliers charge, used for documents and
// supply authorisations; every price is a multiple of 0,25 so that sums of
// quantities times prices are exact and the windows' exact comparisons of
// totals hold.
struct Product
{
    const char *tree;
    const char *internal;
    const char *name;
    const char *unit;
    double price;
};

const Product kProducts[] = {
    {"01.01.001", "10101", "ARROZ AGULHINHA TIPO 1", "KG", 5.25},
    {"01.02.001", "10201", "FEIJÃO CARIOCA TIPO 1", "KG", 7.75},
    {"01.02.002", "10202", "FEIJÃO PRETO TIPO 1", "KG", 8.5},
    {"01.03.001", "10301", "MACARRÃO ESPAGUETE COM OVOS 500 G", "PCT", 3.25},
    {"01.03.002", "10302", "MACARRÃO PARAFUSO COM OVOS 500 G", "PCT", 3.5},
    {"01.04.001", "10401", "FARINHA DE MANDIOCA TORRADA", "KG", 6.25},
    {"01.04.002", "10402", "FLOCÃO DE MILHO PARA CUSCUZ 500 G", "PCT", 2.75},
    {"01.05.001", "10501", "AVEIA EM FLOCOS 250 G", "PCT", 4.5},
    {"02.01.001", "20101", "LEITE EM PÓ INTEGRAL", "KG", 18.5},
    {"02.01.002", "20102", "LEITE UHT INTEGRAL", "L", 4.75},
    {"02.02.001", "20201", "QUEIJO MUÇARELA FATIADO", "KG", 39.5},
    {"02.03.001", "20301", "IOGURTE NATURAL INTEGRAL 170 G", "UN", 2.25},
    {"03.01.001", "30101", "CARNE BOVINA MOÍDA (PATINHO)", "KG", 32.5},
    {"03.01.002", "30102", "CARNE BOVINA EM CUBOS (ACÉM)", "KG", 29.75},
    {"03.02.001", "30201", "FRANGO CONGELADO (COXA E SOBRECOXA)", "KG", 12.75},
    {"03.02.002", "30202", "FILÉ DE PEITO DE FRANGO CONGELADO", "KG", 16.5},
    {"03.03.001", "30301", "OVOS BRANCOS DE GALINHA", "DZ", 9.5},
    {"03.04.001", "30401", "FILÉ DE TILÁPIA CONGELADO", "KG", 38.25},
    {"04.01.001", "40101", "BANANA PRATA", "KG", 3.5},
    {"04.01.002", "40102", "MAÇÃ NACIONAL", "KG", 7.25},
    {"04.01.003", "40103", "LARANJA PERA", "KG", 2.75},
    {"04.01.004", "40104", "MAMÃO FORMOSA", "KG", 4.25},
    {"04.02.001", "40201", "TOMATE", "KG", 4.25},
    {"04.02.002", "40202", "CEBOLA", "KG", 3.75},
    {"04.02.003", "40203", "ALHO", "KG", 24.5},
    {"04.02.004", "40204", "BATATA INGLESA", "KG", 3.5},
    {"04.02.005", "40205", "CENOURA", "KG", 3.25},
    {"04.02.006", "40206", "ABÓBORA CABOTIÁ", "KG", 2.5},
    {"04.03.001", "40301", "ALFACE CRESPA", "UN", 2.0},
    {"04.03.002", "40302", "COUVE MANTEIGA (MAÇO)", "UN", 2.5},
    {"05.01.001", "50101", "ÓLEO DE SOJA REFINADO", "L", 6.5},
    {"05.01.002", "50102", "AÇÚCAR CRISTAL", "KG", 3.75},
    {"05.01.003", "50103", "SAL REFINADO IODADO", "KG", 1.5},
    {"05.02.001", "50201", "CAFÉ TORRADO E MOÍDO 500 G", "PCT", 16.75},
    {"05.02.002", "50202", "ACHOCOLATADO EM PÓ 400 G", "PCT", 7.5},
    {"05.03.001", "50301", "EXTRATO DE TOMATE 340 G", "UN", 3.25},
    {"05.03.002", "50302", "BISCOITO MAISENA (CAIXA 20 PACOTES)", "CX", 58.0},
    {"05.04.001", "50401", "VINAGRE DE ÁLCOOL", "L", 2.25},
};

const Product &product(const char *tree)
{
    for (const Product &p : kProducts)
        if (qstrcmp(p.tree, tree) == 0)
            return p;
    throw EDatabaseError(QStringLiteral("Produto %1 fora do catálogo de demonstração.")
                             .arg(QLatin1String(tree)));
}

const QString kProductMask = QStringLiteral("99.99.999;1;_");
const QString kCentral = QStringLiteral("0900");
const QString kCentralName = QStringLiteral("Almoxarifado Central");

struct Branch
{
    const char *code;
    const char *name;
};

const Branch kBranches[] = {
    {"0001", "Cozinha Piloto Centro"},
    {"0002", "Cozinha Escola Vila Nova"},
};

// The operators of DADOS_KIPC.CDS, in branch order as the login expects,
// with their passwords in plain form (the file holds them scrambled). The
// README and the tests take them from demoLogins(). The same operator code
// in both branches names two different people: codes belong to a branch.
struct Operator
{
    const char *branch;
    const char *code;
    const char *name;
    const char *password;
};

const Operator kOperators[] = {
    {"0001", "000000000001", "MARIA APARECIDA SOUZA", "merenda1"},
    {"0001", "000000000002", "JOÃO BATISTA OLIVEIRA", "cozinha2024"},
    {"0001", "000000000003", "ANTÔNIA FERREIRA LIMA", "açaí2024"},
    {"0002", "000000000001", "FRANCISCA DAS CHAGAS ROCHA", "vilanova1"},
    {"0002", "000000000004", "RAIMUNDO NONATO ALVES", "raimundo4"},
};

// Suppliers and clients carry a registration number (CNPJ) with valid check
// digits: the key the central system uses, the masked number shown in
// lookups and the bare digits the operator types as the origin.
struct Party
{
    const char *key;
    const char *cnpjBase;  // the company's eight digits; always its head office, 0001
    const char *name;
};

const Party kSuppliers[] = {
    {"1001", "12345678", "COMERCIAL DE ALIMENTOS BOM SABOR LTDA"},
    {"1002", "23456789", "COOPERATIVA AGRÍCOLA FAMILIAR DO VALE"},
    {"1003", "34567890", "LATICÍNIOS SERRA AZUL S.A."},
    {"1004", "45678901", "FRIGORÍFICO SANTA CRUZ LTDA"},
    {"1005", "56789012", "DISTRIBUIDORA NORDESTE DE CEREAIS LTDA"},
};

const Party kClients[] = {
    {"2001", "61234567", "E.M. PROFESSORA MARIA JOSÉ DA SILVA"},
    {"2002", "62345678", "E.M. MONTEIRO LOBATO"},
    {"2003", "63456789", "CMEI PEQUENO PRÍNCIPE"},
    {"2004", "64567890", "E.M. VILA NOVA"},
    {"2005", "65678901", "E.E. TIRADENTES"},
    {"2006", "66789012", "CENTRO DE EDUCAÇÃO DE JOVENS E ADULTOS"},
    {"2007", "67890123", "BANCO DE ALIMENTOS MUNICIPAL"},
};

const Party &party(const Party *list, int count, const char *key)
{
    for (int i = 0; i < count; ++i)
        if (qstrcmp(list[i].key, key) == 0)
            return list[i];
    throw EDatabaseError(QStringLiteral("Cadastro %1 fora dos dados de demonstração.")
                             .arg(QLatin1String(key)));
}

const Party &supplier(const char *key)
{
    return party(kSuppliers, int(std::size(kSuppliers)), key);
}

const Party &client(const char *key)
{
    return party(kClients, int(std::size(kClients)), key);
}

QString cnpjDigits(const char *base)
{
    QString digits = QLatin1String(base) + QStringLiteral("0001");
    auto checkDigit = [&](const QString &number) {
        int sum = 0;
        int weight = 2;
        for (qsizetype i = number.size() - 1; i >= 0; --i) {
            sum += number.at(i).digitValue() * weight;
            weight = weight == 9 ? 2 : weight + 1;
        }
        const int rest = sum % 11;
        return QString::number(rest < 2 ? 0 : 11 - rest);
    };
    digits += checkDigit(digits);
    digits += checkDigit(digits);
    return digits;
}

QString cnpjMasked(const char *base)
{
    const QString d = cnpjDigits(base);
    return QStringLiteral("%1.%2.%3/%4-%5")
        .arg(d.mid(0, 2), d.mid(2, 3), d.mid(5, 3), d.mid(8, 4), d.mid(12, 2));
}

// Services of each branch with the menu type they follow. The clients of a
// service are the schools it feeds, each with its usual number of pupils,
// staff and donated meals.
struct ServiceClient
{
    const char *client;
    int pupils;
    int staff;
    int donations;
};

struct Service
{
    const char *branch;
    const char *code;
    const char *name;
    const char *menuType;
    QList<ServiceClient> clients;
    // Products planned for the service and the quantity per person served,
    // in the product's unit.
    QList<QPair<const char *, double>> menu;
};

const QList<Service> &services()
{
    static const QList<Service> list = {
        {"0001", "00001", "DESJEJUM", "0000000001",
         {{"2001", 180, 12, 0}, {"2002", 95, 8, 3}},
         {{"02.01.001", 0.02}, {"05.02.001", 0.01}, {"05.01.002", 0.015},
          {"01.04.002", 0.04}, {"04.01.001", 0.1}}},
        {"0001", "00002", "ALMOÇO", "0000000001",
         {{"2001", 210, 18, 4}, {"2002", 110, 10, 2}},
         {{"01.01.001", 0.05}, {"01.02.001", 0.03}, {"05.01.001", 0.005},
          {"05.01.003", 0.002}, {"04.02.001", 0.02}, {"04.02.002", 0.01},
          {"04.02.003", 0.002}, {"04.02.004", 0.04}, {"04.02.005", 0.03}}},
        {"0001", "00003", "LANCHE DA TARDE", "0000000001",
         {{"2001", 160, 6, 0}, {"2002", 88, 4, 0}},
         {{"02.01.002", 0.2}, {"05.02.002", 0.02}, {"04.01.002", 0.12},
          {"05.03.002", 0.005}}},
        {"0001", "00004", "ALMOÇO CRECHE", "0000000002",
         {{"2003", 72, 9, 0}},
         {{"01.01.001", 0.03}, {"01.02.001", 0.02}, {"03.02.002", 0.05},
          {"04.02.006", 0.04}, {"04.02.005", 0.02}, {"05.01.001", 0.003},
          {"05.01.003", 0.001}}},
        {"0002", "00001", "DESJEJUM", "0000000001",
         {{"2004", 140, 10, 0}, {"2005", 120, 9, 2}},
         {{"02.01.001", 0.02}, {"05.02.001", 0.01}, {"04.01.003", 0.12}}},
        {"0002", "00002", "ALMOÇO", "0000000001",
         {{"2004", 150, 12, 0}, {"2005", 135, 11, 5}},
         {{"01.01.001", 0.05}, {"01.02.002", 0.03}, {"03.01.001", 0.08},
          {"05.01.001", 0.005}, {"04.03.001", 0.05}}},
        {"0002", "00003", "JANTAR EJA", "0000000003",
         {{"2005", 45, 3, 0}, {"2006", 64, 5, 0}},
         {{"01.03.001", 0.08}, {"03.01.001", 0.07}, {"05.03.001", 0.05},
          {"04.02.002", 0.01}}},
    };
    return list;
}

struct MenuType
{
    const char *branch;
    const char *code;
    const char *name;
};

const MenuType kMenuTypes[] = {
    {"0001", "0000000001", "CARDÁPIO ENSINO FUNDAMENTAL"},
    {"0001", "0000000002", "CARDÁPIO EDUCAÇÃO INFANTIL - CRECHE"},
    {"0002", "0000000001", "CARDÁPIO ENSINO FUNDAMENTAL"},
    {"0002", "0000000003", "CARDÁPIO EJA - PERÍODO NOTURNO"},
};

// The headcount window's special cases in the demonstration directory: a
// service whose clients SERVCLIE.cds does not list, and headcounts of a
// service that SERVICO.cds does not hold.
struct HeadcountService
{
    const char *branch;
    const char *code;
    const char *menuType;
};

const HeadcountService kNoClientsService = {"0001", "00004", "0000000002"};
const HeadcountService kUnlistedService = {"0001", "00009", "0000000002"};

// The main course of the lunch changes with the day; the other rows of a
// menu are the same every day.
const char *const kLunchProteins[] = {"03.01.001", "03.02.001", "03.01.002", "03.04.001",
                                      "03.03.001"};

struct WithdrawalType
{
    const char *code;
    const char *name;
};

const WithdrawalType kWithdrawalTypes[] = {
    {"01", "CONSUMO NORMAL"},
    {"02", "PERDA POR VALIDADE"},
    {"03", "AVARIA NO ARMAZENAMENTO"},
    {"04", "DOAÇÃO"},
    {"05", "REMANEJAMENTO ENTRE SERVIÇOS"},
};

QString text(const char *utf8) { return QString::fromUtf8(utf8); }

QString quantity(double value) { return FormatFloat(QStringLiteral("##0.000"), value); }
// A quantity as the central system exports it: no trailing zeros, a point
// before the decimals ("180", "10.5").
QString exportedQuantity(double value) { return QString::number(value, 'g', 15); }
QString value5(double value) { return FormatFloat(QStringLiteral("##0.00000"), value); }
QString value2(double value) { return FormatFloat(QStringLiteral("##0.00"), value); }
QString dateText(const QDate &date) { return LocaleService::dateToText(date); }

// Quantities rounded to grams (or millilitres, units) as the kitchen weighs them.
double rounded(double value) { return std::round(value * 1000.0) / 1000.0; }

// A small, fixed variation by day, so that headcounts and consumption look
// measured without making the files differ from one run to the next.
int variation(const QDate &date, int salt, int spread)
{
    const qint64 mixed = (date.toJulianDay() * 7919 + salt * 104729) % 1009;
    return int(mixed % (2 * spread + 1)) - spread;
}

int servedOn(const ServiceClient &c, const QDate &date, int salt)
{
    return std::max(0, c.pupils + variation(date, salt, c.pupils / 12));
}

int servedBy(const Service &service, const QDate &date)
{
    int total = 0;
    int salt = 0;
    for (const ServiceClient &c : service.clients) {
        total += servedOn(c, date, ++salt) + c.staff + c.donations;
    }
    return total;
}

Row productFields(const Product &p)
{
    return {{QStringLiteral("CDPRODUTO"), QString::fromLatin1(p.internal)},
            {QStringLiteral("CDARVPROD"), QString::fromLatin1(p.tree)},
            {QStringLiteral("CDPSQPROD"), QString::fromLatin1(p.tree)},
            {QStringLiteral("NMPRODUTO"), text(p.name)},
            {QStringLiteral("SGUNIDADE"), QString::fromLatin1(p.unit)}};
}

Row merged(Row row, const Row &more)
{
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

void putValue(Table &table, const QString &tableFile, const QString &name, const QVariant &value)
{
    Field *field = table.FindField(name);
    if (!field || field->Calculated())
        throw EDatabaseError(QStringLiteral("O campo %1 não está declarado em %2.")
                                 .arg(name, tableFile));
    if (!value.isValid() || value.isNull()) {
        field->Clear();
        return;
    }
    QString textValue;
    switch (value.typeId()) {
    case QMetaType::QDate:
        field->SetAsDate(value.toDate());
        return;
    case QMetaType::QDateTime:
        field->SetAsDateTime(value.toDateTime());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        if (field->DataType() == FieldKind::Integer) {
            field->SetAsInteger(value.toLongLong());
            return;
        }
        if (field->DataType() != FieldKind::Text) {
            field->SetAsFloat(value.toDouble());
            return;
        }
        textValue = FloatToStr(value.toDouble());
        break;
    default:
        textValue = value.toString();
        break;
    }
    if (field->DataType() == FieldKind::Text && textValue.size() > field->Size())
        throw EDatabaseError(
            QStringLiteral("O valor \"%1\" não cabe no campo %2 (%3 caracteres) de %4.")
                .arg(textValue, name)
                .arg(field->Size())
                .arg(tableFile));
    field->SetAsString(textValue);
}

// The content of the demonstration directory, file by file. Files the
// windows record start with a few documents of each kind, so that every
// window opens on something to browse.
class DemoBuilder
{
public:
    explicit DemoBuilder(const QDate &today) : m_today(today) {}

    QHash<QString, QList<Row>> build()
    {
        operatorsFile();
        products();
        branchesAndParameters();
        partners();
        operationTypesAndSeries();
        supplyAuthorisations();
        purchaseRequests();
        menuTypesServicesAndHeadcounts();
        withdrawals();
        entries();
        exits();
        inventory();
        return m_files;
    }

private:
    void add(const QString &fileName, const Row &row) { m_files[fileName.toUpper()].append(row); }

    void operatorsFile()
    {
        for (const Operator &op : kOperators) {
            const QString branch = QString::fromLatin1(op.branch);
            add(QStringLiteral("DADOS_KIPC.CDS"),
                {{QStringLiteral("CDFILIAL"), branch},
                 {QStringLiteral("NMFILIAL"), branchName(branch)},
                 {QStringLiteral("DIREXP"), QStringLiteral("C:\\Kiv\\Exporta\\%1\\").arg(branch)},
                 {QStringLiteral("CDSENHAOPE"), CriptoPlus(text(op.password))},
                 {QStringLiteral("CDFILIOPER"), branch + QLatin1String(op.code)},
                 {QStringLiteral("CDOPERADOR"), QString::fromLatin1(op.code)},
                 {QStringLiteral("NMOPERADOR"), text(op.name)},
                 {QStringLiteral("PRODMASK"), kProductMask}});
        }
    }

    static QString branchName(const QString &code)
    {
        for (const Branch &b : kBranches)
            if (code == QLatin1String(b.code))
                return text(b.name);
        return code == kCentral ? kCentralName : QString();
    }

    void products()
    {
        for (const Product &p : kProducts)
            add(QStringLiteral("PRODUTO.CDS"), productFields(p));
    }

    void branchesAndParameters()
    {
        QList<QPair<QString, QString>> all;
        for (const Branch &b : kBranches)
            all.append({QString::fromLatin1(b.code), text(b.name)});
        all.append({kCentral, kCentralName});
        for (const auto &[code, name] : all)
            add(QStringLiteral("FILIAL.CDS"),
                {{QStringLiteral("CDFILIAL"), code},
                 {QStringLiteral("NMFILIAL"), name},
                 {QStringLiteral("CDFILCENT"), kCentral},
                 {QStringLiteral("IDBLOQNFSAF"), QStringLiteral("N")}});
        add(QStringLiteral("PARAM.cds"), {{QStringLiteral("IDCONSMEFE"), QStringLiteral("S")},
                                          {QStringLiteral("IDBLOQNFSAF"), QStringLiteral("N")}});
        // Meat enters the pilot kitchen only against a supply authorisation;
        // dairy is listed but not blocked; Vila Nova blocks fruit.
        const QList<QStringList> blocks = {{"0001", "03", "S"}, {"0001", "02.01", "N"},
                                           {"0002", "04.01", "S"}};
        for (const QStringList &b : blocks)
            add(QStringLiteral("EXPFILIAL.cds"), {{QStringLiteral("CDFILIAL"), b[0]},
                                                  {QStringLiteral("CDARVPROD"), b[1]},
                                                  {QStringLiteral("IDBLOQNFSAF"), b[2]}});
    }

    void partners()
    {
        for (const Party &s : kSuppliers)
            add(QStringLiteral("FORNECED.cds"),
                {{QStringLiteral("CDFORNECED"), QString::fromLatin1(s.key)},
                 {QStringLiteral("NRMSKFORN"), cnpjMasked(s.cnpjBase)},
                 {QStringLiteral("NRINSJURFO"), cnpjDigits(s.cnpjBase)},
                 {QStringLiteral("NMRAZSOCFO"), text(s.name)}});
        for (const Party &c : kClients)
            add(QStringLiteral("CLIENTE.CDS"),
                {{QStringLiteral("CDCLIENTE"), QString::fromLatin1(c.key)},
                 {QStringLiteral("NRMSKCLIE"), cnpjMasked(c.cnpjBase)},
                 {QStringLiteral("NRINSJURCL"), cnpjDigits(c.cnpjBase)},
                 {QStringLiteral("NMRAZSOCCL"), text(c.name)}});
    }

    void operationTypesAndSeries()
    {
        // Kind, origin kind ("F" supplier, "C" client, "L" branch) and whether
        // the documents carry due dates. Entry type 01 is the purchase that
        // may come from a supply authorisation.
        const QList<QStringList> types = {
            {"01", "COMPRA DE FORNECEDOR", "E", "F", "S"},
            {"02", "DOAÇÃO DE FORNECEDOR", "E", "F", "N"},
            {"03", "DEVOLUÇÃO DE ESCOLA", "E", "C", "N"},
            {"04", "TRANSFERÊNCIA RECEBIDA", "E", "L", "N"},
            {"05", "COMPRA DA AGRICULTURA FAMILIAR", "E", "F", "S"},
            {"06", "RESSARCIMENTO DE CLIENTE", "E", "C", "S"},
            {"11", "REMESSA PARA ESCOLA", "S", "C", "N"},
            {"12", "VENDA DE EXCEDENTES", "S", "C", "S"},
            {"13", "DEVOLUÇÃO A FORNECEDOR", "S", "F", "S"},
            {"14", "TRANSFERÊNCIA ENVIADA", "S", "L", "N"},
            {"15", "DOAÇÃO A INSTITUIÇÃO", "S", "C", "N"},
        };
        for (const QStringList &t : types)
            add(QStringLiteral("TIPOOPER.cds"), {{QStringLiteral("CDTIPOOPER"), t[0]},
                                                 {QStringLiteral("NMTIPOOPER"), t[1]},
                                                 {QStringLiteral("IDENTTIPOP"), t[2]},
                                                 {QStringLiteral("IDENTORIOP"), t[3]},
                                                 {QStringLiteral("IDUTILVENC"), t[4]}});
        const QList<QStringList> series = {
            {"1", "SÉRIE 1", "E"}, {"55", "NF-E MODELO 55", "E"}, {"D", "SÉRIE D", "E"},
            {"U", "SÉRIE ÚNICA", "E"}, {"2", "SÉRIE 2 - SAÍDAS", "S"},
        };
        for (const QStringList &s : series)
            add(QStringLiteral("SERIE.cds"), {{QStringLiteral("CDSERIE"), s[0]},
                                              {QStringLiteral("DSSERIE"), s[1]},
                                              {QStringLiteral("IDLANCMTO"), s[2]}});
    }

    // Supply authorisations issued by the central warehouse for the pilot
    // kitchen only, so that Vila Nova shows the "no authorisation" path.
    void supplyAuthorisations()
    {
        struct Item
        {
            const char *tree;
            double quantity;
            const char *brand;
        };
        struct Authorisation
        {
            const char *number;
            const char *supplier;
            int day;
            QList<Item> items;
        };
        const QList<Authorisation> list = {
            {"345", "1001", 0, {{"01.01.001", 200, "014"}, {"01.02.001", 100, "022"},
                                {"03.01.001", 50, "107"}}},
            {"346", "1001", 3, {{"05.01.001", 60, "031"}, {"05.01.002", 80, "009"}}},
            {"112", "1004", -1, {{"03.02.001", 80, "201"}, {"03.02.002", 40, "201"}}},
            {"118", "1002", 7, {{"04.01.001", 60, ""}, {"04.02.001", 40, ""},
                                {"04.02.005", 40, ""}}},
        };
        for (const Authorisation &af : list) {
            const QDate delivery = m_today.addDays(af.day);
            double total = 0;
            for (const Item &item : af.items) {
                const Product &p = product(item.tree);
                total += item.quantity * p.price;
                add(QStringLiteral("ITEMAF.cds"),
                    merged(productFields(p),
                           {{QStringLiteral("CDFILLANC"), kCentral},
                            {QStringLiteral("CDFILDEST"), QStringLiteral("0001")},
                            {QStringLiteral("NRAUTOFORN"), QString::fromLatin1(af.number)},
                            {QStringLiteral("CDMARCA"), QString::fromLatin1(item.brand)},
                            {QStringLiteral("DTPENTAF"), delivery},
                            {QStringLiteral("QTPENTAF"), quantity(item.quantity)},
                            {QStringLiteral("VRPREUNIAF"), value2(p.price)}}));
            }
            add(QStringLiteral("NUMAF.cds"),
                {{QStringLiteral("CDFILLANC"), kCentral},
                 {QStringLiteral("CDFILDEST"), QStringLiteral("0001")},
                 {QStringLiteral("NRAUTOFORN"), QString::fromLatin1(af.number)},
                 {QStringLiteral("CDFORNECED"), QString::fromLatin1(af.supplier)},
                 {QStringLiteral("DTPENTAF"), delivery},
                 {QStringLiteral("STDTPENTAF"), dateText(delivery)},
                 {QStringLiteral("VRTOTALAF"), value2(total)},
                 {QStringLiteral("IDUTILIZA"), QStringLiteral("N")}});
        }
    }

    // Each branch meets every rule of the purchase window on its first
    // date: the quantities as the central system exports them ("180",
    // "10.5"), which the window brings to form when it opens; a row already
    // adjusted and justified; a row adjusted without a justification, which
    // the window asks for as soon as the row is touched. The later dates
    // are in the window's own form. The block on adjusting above the plan is
    // on ("S"); kivdemo's --bloqueio-ajuste N writes the directory with it
    // off.
    void purchaseRequests()
    {
        for (const char *j : {"ESTOQUE SUFICIENTE", "ALTERAÇÃO DE CARDÁPIO",
                              "AUMENTO DO NÚMERO DE ALUNOS", "REDUÇÃO DO NÚMERO DE ALUNOS",
                              "PRODUTO COM VALIDADE PRÓXIMA", "FALTA DE ESPAÇO NO ESTOQUE"})
            add(QStringLiteral("JustSoli.cds"), {{QStringLiteral("DSJUSTSOL"), text(j)}});
        writePurchaseParameters(QStringLiteral("S"));

        // Most requests are issued by the central warehouse; 5121 by the
        // pilot kitchen itself and 5123 by Vila Nova.
        struct Request
        {
            const char *branch;
            const char *number;
            QString issuer;
        };
        const QList<Request> requests = {{"0001", "5120", kCentral},
                                         {"0001", "5121", QStringLiteral("0001")},
                                         {"0002", "5122", kCentral},
                                         {"0002", "5123", QStringLiteral("0002")}};
        for (const Request &r : requests)
            add(QStringLiteral("SOLICITA.cds"),
                {{QStringLiteral("CDFILSOLI"), QString::fromLatin1(r.branch)},
                 {QStringLiteral("NRSOLICOMP"), QString::fromLatin1(r.number)},
                 {QStringLiteral("CDFILLAN"), r.issuer}});
        const auto issuer = [&](const QString &number) {
            for (const Request &r : requests)
                if (number == QLatin1String(r.number))
                    return r.issuer;
            return QString();
        };

        struct Planned
        {
            const char *tree;
            double quantity;
        };
        const QList<Planned> dry = {{"01.01.001", 180}, {"01.02.001", 95}, {"05.01.001", 24},
                                    {"05.01.002", 40}, {"02.01.001", 10.5}, {"05.02.001", 12}};
        const QList<Planned> fresh = {{"04.01.001", 70}, {"04.02.001", 35}, {"04.02.002", 18},
                                      {"04.02.004", 60}, {"04.02.005", 45}, {"03.02.001", 90}};
        struct Delivery
        {
            const char *branch;
            int day;
            const char *request;
            const QList<Planned> *rows;
            bool asExported;
        };
        const QList<Delivery> deliveries = {
            {"0001", 3, "5120", &dry, true},    {"0001", 10, "5121", &fresh, false},
            {"0001", 17, "5120", &dry, false},  {"0002", 5, "5122", &dry, true},
            {"0002", 12, "5123", &fresh, false},
        };
        for (const Delivery &d : deliveries) {
            const QDate date = m_today.addDays(d.day);
            const QString branch = QString::fromLatin1(d.branch);
            add(QStringLiteral("DATASOLI.cds"), {{QStringLiteral("CDFILSOLI"), branch},
                                                 {QStringLiteral("DTPROGENTR"), date},
                                                 {QStringLiteral("STDATASOLI"), dateText(date)}});
            int position = 0;
            for (const Planned &planned : *d.rows) {
                const Product &p = product(planned.tree);
                double adjusted = planned.quantity;
                QString justification;
                QString justifiedBy;
                if (d.asExported && position == 1) {
                    adjusted = planned.quantity - 20;
                    justification = text("ESTOQUE SUFICIENTE");
                    justifiedBy = QStringLiteral("000000000002");
                } else if (d.asExported && position == 3) {
                    adjusted = planned.quantity - 4;
                }
                ++position;
                const auto shown = [&](double value) {
                    return d.asExported ? exportedQuantity(value) : quantity(value);
                };
                const QString request = QString::fromLatin1(d.request);
                add(QStringLiteral("SOLICOMP.cds"),
                    merged(productFields(p),
                           {{QStringLiteral("CDFILISOLI"), branch},
                            {QStringLiteral("CDFILLAN"), issuer(request)},
                            {QStringLiteral("NRSOLICMP"), request},
                            {QStringLiteral("DTPROGENTR"), date},
                            {QStringLiteral("QTSOLICPRO"), shown(planned.quantity)},
                            {QStringLiteral("QTAJUSTPRO"), shown(adjusted)},
                            {QStringLiteral("DSJUSTSOLI"), justification},
                            {QStringLiteral("CDOPERSOLI"), justifiedBy},
                            {QStringLiteral("FILSOLPRDT"), branch + request
                                                               + QLatin1String(p.internal)
                                                               + dateText(date)}}));
            }
        }
    }

    void writePurchaseParameters(const QString &blockAboveThePlan)
    {
        add(QStringLiteral("ParaSupri.cds"), purchaseParameters(blockAboveThePlan));
    }

public:
    // The one row of supply parameters: justifications in use, and the
    // block on adjusting above the plan ("S" or "N").
    static Row purchaseParameters(const QString &blockAboveThePlan)
    {
        return {{QStringLiteral("IDJUSTSOLI"), QStringLiteral("S")},
                {QStringLiteral("IDBLOQALTSOLAVR"), blockAboveThePlan}};
    }

private:

    // Headcounts of the last four days for every service. The breakdown by
    // client exists for yesterday in the pilot kitchen; its sums are the
    // headcounts, as the window keeps them. A few rows meet each rule of the
    // headcount window:
    // - the creche lunch of the pilot kitchen feeds no client listed in
    //   SERVCLIE.cds, so its "Clientes" page stays empty;
    // - the pilot kitchen's creche menu also has headcounts of a service the
    //   central system no longer exports in SERVICO.cds (no name shown);
    // - the donations of the pilot kitchen two days ago came written with a
    //   point, three days ago with a comma, as different exports write them;
    // - Vila Nova's headcounts answer to another central branch and come
    //   first in the file, so the first record of the file is not the pilot
    //   kitchen's.
    void menuTypesServicesAndHeadcounts()
    {
        for (const MenuType &t : kMenuTypes)
            add(QStringLiteral("TIPOCARD.cds"),
                {{QStringLiteral("CDFILIAL"), QLatin1String(t.branch)},
                 {QStringLiteral("CDTIPOCARD"), QLatin1String(t.code)},
                 {QStringLiteral("NMTIPOCARD"), text(t.name)}});
        QMap<QString, QList<Row>> headcounts;
        for (const Service &s : services()) {
            const QString branch = QString::fromLatin1(s.branch);
            const QString code = QString::fromLatin1(s.code);
            const QString menuType = QString::fromLatin1(s.menuType);
            const bool listsClients = !(branch == QLatin1String(kNoClientsService.branch)
                                        && code == QLatin1String(kNoClientsService.code));
            add(QStringLiteral("SERVICO.cds"), {{QStringLiteral("CDFILIAL"), branch},
                                                {QStringLiteral("CDSERVFILI"), code},
                                                {QStringLiteral("NMSERVICO"), text(s.name)},
                                                {QStringLiteral("CDTIPOCARD"), menuType}});
            for (const ServiceClient &c : s.clients) {
                if (!listsClients)
                    break;
                const Party &who = client(c.client);
                add(QStringLiteral("SERVCLIE.cds"),
                    {{QStringLiteral("CDFILIAL"), branch},
                     {QStringLiteral("CDTIPOCARD"), menuType},
                     {QStringLiteral("CDSERVFILI"), code},
                     {QStringLiteral("CDCLIENTE"), QString::fromLatin1(who.key)},
                     {QStringLiteral("NMCLIENTE"), text(who.name)},
                     {QStringLiteral("FILTPCSERV"), branch + menuType + code}});
            }
            for (int day = -3; day <= 0; ++day) {
                const QDate date = m_today.addDays(day);
                int pupils = 0;
                int staff = 0;
                int donations = 0;
                int salt = 0;
                for (const ServiceClient &c : s.clients) {
                    const int served = servedOn(c, date, ++salt);
                    pupils += served;
                    staff += c.staff;
                    donations += c.donations;
                    if (day == -1 && branch == QLatin1String("0001") && listsClients)
                        add(QStringLiteral("EFETCLIE.cds"),
                            {{QStringLiteral("NMCLIENTE"), text(client(c.client).name)},
                             {QStringLiteral("QTCLIENTE"), FloatToStr(served)},
                             {QStringLiteral("QTFUNC"), FloatToStr(c.staff)},
                             {QStringLiteral("QTDOACAO"), FloatToStr(c.donations)},
                             {QStringLiteral("CDCLIENTE"), QLatin1String(c.client)},
                             {QStringLiteral("CDFILCENT"), headcountCentral(branch)},
                             {QStringLiteral("CDFILIAL"), branch},
                             {QStringLiteral("CDTIPOCARD"), menuType},
                             {QStringLiteral("CDSERVFILI"), code},
                             {QStringLiteral("DTPROGENTR"), date},
                             {QStringLiteral("FILTPCSEDT"),
                              branch + menuType + code + dateText(date)}});
                }
                QString donated = FloatToStr(donations);
                if (branch == QLatin1String("0001") && donations > 0 && day <= -2)
                    donated = QString::number(donations) + QChar(day == -2 ? u'.' : u',')
                              + QLatin1Char('5');
                headcounts[branch].append(
                    headcountRow(branch, code, menuType, date, FloatToStr(pupils),
                                 FloatToStr(staff), donated));
            }
        }
        const QString unlisted = QLatin1String(kUnlistedService.code);
        const QString unlistedMenu = QLatin1String(kUnlistedService.menuType);
        const QString unlistedBranch = QLatin1String(kUnlistedService.branch);
        for (int day = -3; day <= 0; ++day)
            headcounts[unlistedBranch].append(
                headcountRow(unlistedBranch, unlisted, unlistedMenu, m_today.addDays(day),
                             QStringLiteral("40"), QStringLiteral("4"), QStringLiteral("0")));
        // Latest branch code first: Vila Nova's records open the file.
        QStringList branches = headcounts.keys();
        std::sort(branches.begin(), branches.end(), std::greater<>());
        for (const QString &branch : std::as_const(branches))
            for (const Row &row : std::as_const(headcounts[branch]))
                add(QStringLiteral("EFETIVOS.cds"), row);
    }

    // The central branch that Vila Nova's headcount export names differs
    // from the pilot kitchen's.
    static QString headcountCentral(const QString &branch)
    {
        return branch == QLatin1String("0002") ? QStringLiteral("0800") : kCentral;
    }

    static Row headcountRow(const QString &branch, const QString &service,
                            const QString &menuType, const QDate &date, const QString &clients,
                            const QString &staff, const QString &donations)
    {
        return {{QStringLiteral("CDFILIAL"), branch},
                {QStringLiteral("DTEFETIVO"), date},
                {QStringLiteral("CDSERVFILI"), service},
                {QStringLiteral("CDTIPOCARD"), menuType},
                {QStringLiteral("QTCLIENTE"), clients},
                {QStringLiteral("QTFUNC"), staff},
                {QStringLiteral("QTDOACAO"), donations},
                {QStringLiteral("CDFILCENT"), headcountCentral(branch)},
                {QStringLiteral("NRCARDPME"), QString::number(date.weekNumber())},
                {QStringLiteral("NRCDIAPME"), QString::number(date.dayOfWeek())},
                {QStringLiteral("FILSETPCDT"), branch + service + menuType + dateText(date)}};
    }

    // The days a service has planned withdrawals: five days ago to five
    // days ahead in the pilot kitchen, and a day three weeks ago that the
    // withdrawal window reaches only through its date lookup (it lies
    // outside the ten days around today); yesterday to tomorrow in Vila Nova.
    static QList<int> withdrawalDays(bool pilot)
    {
        QList<int> days;
        if (pilot)
            days.append(-21);
        for (int day = pilot ? -5 : -1; day <= (pilot ? 5 : 1); ++day)
            days.append(day);
        return days;
    }

    // Planned withdrawals for every service on its days. Days already past
    // carry what was consumed.
    void withdrawals()
    {
        for (const WithdrawalType &t : kWithdrawalTypes)
            add(QStringLiteral("TIPORETI.cds"),
                {{QStringLiteral("CDTIPORETI"), QLatin1String(t.code)},
                 {QStringLiteral("NMTIPORETI"), text(t.name)}});
        for (const Service &s : services()) {
            const bool pilot = qstrcmp(s.branch, "0001") == 0;
            for (int day : withdrawalDays(pilot)) {
                const QDate date = m_today.addDays(day);
                const int served = servedBy(s, date);
                QList<QPair<const char *, double>> menu = s.menu;
                if (qstrcmp(s.name, "ALMOÇO") == 0 && pilot)
                    menu.append({kLunchProteins[date.toJulianDay() % std::size(kLunchProteins)],
                                 0.08});
                int salt = 0;
                for (const auto &[tree, perPerson] : menu) {
                    const Product &p = product(tree);
                    const double planned = rounded(perPerson * served);
                    QString consumed = value5(0);
                    QString type;
                    QString typeName;
                    QString byOperator;
                    if (day < 0) {
                        const int percent = 100 + variation(date, ++salt, 8);
                        consumed = value5(rounded(planned * percent / 100));
                        const WithdrawalType &t = kWithdrawalTypes[salt % 7 == 3 ? 1 : 0];
                        type = QLatin1String(t.code);
                        typeName = text(t.name);
                        byOperator = pilot ? QStringLiteral("000000000002")
                                           : QStringLiteral("000000000001");
                    }
                    const QString branch = QString::fromLatin1(s.branch);
                    const QString code = QString::fromLatin1(s.code);
                    add(QStringLiteral("PREVRETI.cds"),
                        merged(productFields(p),
                               {{QStringLiteral("CDFILIAL"), branch},
                                {QStringLiteral("CDSERVFILI"), code},
                                {QStringLiteral("DTPREVRETI"), date},
                                {QStringLiteral("QTPREVRETI"), value5(planned)},
                                {QStringLiteral("QTCONSRETI"), consumed},
                                {QStringLiteral("CDTIPORETI"), type},
                                {QStringLiteral("NMTIPORETI"), typeName},
                                {QStringLiteral("CDOPERADOR"), byOperator},
                                {QStringLiteral("FILSERPRDT"), branch + code
                                                                   + QLatin1String(p.internal)
                                                                   + dateText(date)}}));
                }
            }
        }
    }

    struct Item
    {
        const char *tree;
        double quantity;
    };

    struct Document
    {
        const char *number;
        const char *branch;
        const char *type;
        int day;
        QString origin;        // supplier or client key, or branch code
        QList<Item> items;
        QList<int> dueDays;    // the total split evenly over these due dates
    };

    static QString operationName(const char *type)
    {
        static const QHash<QString, QString> names = {
            {"01", "COMPRA DE FORNECEDOR"}, {"02", "DOAÇÃO DE FORNECEDOR"},
            {"04", "TRANSFERÊNCIA RECEBIDA"}, {"11", "REMESSA PARA ESCOLA"},
            {"12", "VENDA DE EXCEDENTES"}};
        return names.value(QLatin1String(type));
    }

    // Origin of a document: kind, key, name and the number the operator typed.
    struct Origin
    {
        QString kind;
        QString key;
        QString name;
        QString typed;
    };

    Origin originOf(const char *type, const QString &key) const
    {
        const QString t = QLatin1String(type);
        if (t == QLatin1String("04"))
            return {QStringLiteral("L"), key, branchName(key), key};
        if (t.startsWith(u'1')) {
            const Party &c = client(qPrintable(key));
            return {QStringLiteral("C"), key, text(c.name), cnpjDigits(c.cnpjBase)};
        }
        const Party &s = supplier(qPrintable(key));
        return {QStringLiteral("F"), key, text(s.name), cnpjDigits(s.cnpjBase)};
    }

    void entries()
    {
        const QList<Document> documents = {
            {"1", "0001", "01", -8, QStringLiteral("1005"),
             {{"01.01.001", 100}, {"01.02.001", 60}, {"05.01.001", 48}}, {20, 50}},
            {"2", "0001", "04", -3, kCentral, {{"02.01.001", 20}, {"05.01.002", 30}}, {}},
            {"3", "0002", "02", -2, QStringLiteral("1002"),
             {{"04.01.003", 40}, {"04.02.001", 25}}, {}},
        };
        const QStringList invoices = {"104522", "3381", "877"};
        const QStringList series = {"1", "U", "D"};
        for (qsizetype i = 0; i < documents.size(); ++i) {
            const Document &d = documents[i];
            const Origin origin = originOf(d.type, d.origin);
            const QString number = QLatin1String(d.number);
            const QString branch = QLatin1String(d.branch);
            const QDate date = m_today.addDays(d.day);
            double total = 0;
            for (const Item &item : d.items) {
                const Product &p = product(item.tree);
                total += item.quantity * p.price;
                add(QStringLiteral("ITEMENTR.cds"),
                    merged(productFields(p),
                           {{QStringLiteral("NRLANCNFE"), number},
                            {QStringLiteral("QTITEMPROD"), quantity(item.quantity)},
                            {QStringLiteral("VRUNITITEM"), value5(p.price)},
                            {QStringLiteral("NRNFEPROD"), invoices[i]},
                            {QStringLiteral("CDFILLANC"), branch},
                            {QStringLiteral("CDFILDEST"), origin.kind == QLatin1String("L")
                                                              ? origin.key : QString()}}));
            }
            for (int dueDay : d.dueDays) {
                const QDate due = date.addDays(dueDay);
                add(QStringLiteral("VENCENTR.cds"),
                    {{QStringLiteral("NRLANCNFE"), number},
                     {QStringLiteral("DTVENCENTR"), due},
                     {QStringLiteral("VRVENCENTR"), value5(total / d.dueDays.size())},
                     {QStringLiteral("STDTVCENTR"), dateText(due)}});
            }
            add(QStringLiteral("LANCENTR.cds"),
                {{QStringLiteral("NRLANCNFE"), number},
                 {QStringLiteral("CDFILIAL"), branch},
                 {QStringLiteral("CDTIPOOPER"), QLatin1String(d.type)},
                 {QStringLiteral("NMTIPOOPER"), operationName(d.type)},
                 {QStringLiteral("IDENTORIOP"), origin.kind},
                 {QStringLiteral("CDORIGEM"), origin.key},
                 {QStringLiteral("NMORIGEM"), origin.name},
                 {QStringLiteral("NRINSJURNF"), origin.typed},
                 {QStringLiteral("DTEMISSAO"), date.addDays(-1)},
                 {QStringLiteral("DTENTRADA"), date},
                 {QStringLiteral("VRNOTAFISC"), value5(total)},
                 {QStringLiteral("NRNOTAFISC"), invoices[i]},
                 {QStringLiteral("CDSERIE"), series[i]},
                 {QStringLiteral("IDUTILVENC"), d.dueDays.isEmpty() ? QStringLiteral("N")
                                                                    : QStringLiteral("S")},
                 {QStringLiteral("IDIMPAF"), origin.kind == QLatin1String("L")
                                                 ? QString() : QStringLiteral("N")}});
        }
    }

    // An exit operation type: its name, the kind of destination ("C"
    // client, "F" supplier, "L" branch) and whether it takes due dates.
    struct ExitType
    {
        const char *name;
        const char *destination;
        bool dueDates;
    };

    // The exit types of operationTypesAndSeries, and the two the exits add
    // so that every kind of destination comes with and without due dates.
    static ExitType exitType(const QString &type)
    {
        static const QHash<QString, ExitType> types = {
            {"11", {"REMESSA PARA ESCOLA", "C", false}},
            {"12", {"VENDA DE EXCEDENTES", "C", true}},
            {"13", {"DEVOLUÇÃO A FORNECEDOR", "F", true}},
            {"14", {"TRANSFERÊNCIA ENVIADA", "L", false}},
            {"15", {"DOAÇÃO A INSTITUIÇÃO", "C", false}},
            {"16", {"DEVOLUÇÃO SEM ABATIMENTO", "F", false}},
            {"17", {"TRANSFERÊNCIA COM ACERTO", "L", true}},
        };
        return types.value(type);
    }

    // Destination of an exit: kind, key, name and the number the operator
    // typed.
    Origin destinationOf(const QString &type, const QString &key) const
    {
        const QString kind = QLatin1String(exitType(type).destination);
        if (kind == QLatin1String("L"))
            return {kind, key, branchName(key), key};
        const Party &p = kind == QLatin1String("F") ? supplier(qPrintable(key))
                                                     : client(qPrintable(key));
        return {kind, key, text(p.name), cnpjDigits(p.cnpjBase)};
    }

    // Exits of both branches, the other branch holding the highest number,
    // one of every kind of destination with and without due dates among
    // them; the operation types that only the exits use.
    void exits()
    {
        for (const char *type : {"16", "17"}) {
            const ExitType t = exitType(QLatin1String(type));
            add(QStringLiteral("TIPOOPER.cds"),
                {{QStringLiteral("CDTIPOOPER"), QLatin1String(type)},
                 {QStringLiteral("NMTIPOOPER"), text(t.name)},
                 {QStringLiteral("IDENTTIPOP"), QStringLiteral("S")},
                 {QStringLiteral("IDENTORIOP"), QLatin1String(t.destination)},
                 {QStringLiteral("IDUTILVENC"), t.dueDates ? QStringLiteral("S")
                                                            : QStringLiteral("N")}});
        }
        // Due dates split totals whose halves keep five decimals exactly.
        const QList<Document> documents = {
            {"1", "0001", "11", -2, QStringLiteral("2001"),
             {{"01.01.001", 15}, {"01.02.001", 8}}, {}},
            {"2", "0001", "12", -1, QStringLiteral("2007"), {{"05.01.001", 10}}, {28}},
            {"3", "0001", "13", -4, QStringLiteral("1002"), {{"04.02.001", 12}}, {15, 45}},
            {"4", "0001", "14", -3, QStringLiteral("0002"),
             {{"01.03.001", 20}, {"02.01.002", 12}}, {}},
            {"5", "0002", "16", -5, QStringLiteral("1003"), {{"02.01.002", 6}}, {}},
            {"6", "0002", "17", -1, QStringLiteral("0001"), {{"04.01.001", 8}}, {30, 60}},
            {"7", "0002", "15", 0, QStringLiteral("2004"), {{"01.01.001", 4}}, {}},
        };
        for (const Document &d : documents) {
            const QString type = QLatin1String(d.type);
            const Origin destination = destinationOf(type, d.origin);
            const QString number = QLatin1String(d.number);
            const QDate date = m_today.addDays(d.day);
            double total = 0;
            for (const Item &item : d.items) {
                const Product &p = product(item.tree);
                total += item.quantity * p.price;
                Row row = productFields(p);
                row.remove(QStringLiteral("CDPSQPROD"));
                add(QStringLiteral("ITEMSAID.cds"),
                    merged(row, {{QStringLiteral("NRLANCNFS"), number},
                                 {QStringLiteral("QTITEMPROD"), quantity(item.quantity)},
                                 {QStringLiteral("VRUNITITEM"), value5(p.price)}}));
            }
            for (int dueDay : d.dueDays)
                add(QStringLiteral("VENCSAID.cds"),
                    {{QStringLiteral("NRLANCNFS"), number},
                     {QStringLiteral("DTVENCSAID"), date.addDays(dueDay)},
                     {QStringLiteral("VRVENCSAID"), value5(total / d.dueDays.size())}});
            add(QStringLiteral("LANCSAID.cds"),
                {{QStringLiteral("NRLANCNFS"), number},
                 {QStringLiteral("CDFILIAL"), QLatin1String(d.branch)},
                 {QStringLiteral("CDTIPOOPER"), type},
                 {QStringLiteral("NMTIPOOPER"), text(exitType(type).name)},
                 {QStringLiteral("IDENTORIOP"), destination.kind},
                 {QStringLiteral("CDORIGEM"), destination.key},
                 {QStringLiteral("NMORIGEM"), destination.name},
                 {QStringLiteral("NRINSJURNF"), destination.typed},
                 {QStringLiteral("DTSAIDA"), date},
                 {QStringLiteral("VRNOTAFISC"), value5(total)},
                 {QStringLiteral("IDUTILVENC"), d.dueDays.isEmpty() ? QStringLiteral("N")
                                                                    : QStringLiteral("S")}});
        }
    }

    // Last month's count of the pilot kitchen, and the count list the central
    // system sent for the next one.
    void inventory()
    {
        const QDate lastCount = m_today.addDays(-30);
        const QList<QPair<const char *, double>> counted = {
            {"01.01.001", 312.5}, {"01.02.001", 148}, {"05.01.001", 61},
            {"05.01.002", 87.25}, {"02.01.001", 19.4}, {"05.02.001", 23}};
        for (const auto &[tree, amount] : counted) {
            const Product &p = product(tree);
            Row row = productFields(p);
            row.remove(QStringLiteral("CDPSQPROD"));
            add(QStringLiteral("INVENTARIO.cds"),
                merged(row, {{QStringLiteral("CDFILIAL"), QStringLiteral("0001")},
                             {QStringLiteral("CDOPERADOR"), QStringLiteral("000000000002")},
                             {QStringLiteral("DTLANCESTQ"), lastCount},
                             {QStringLiteral("QUANTPROD"),
                              FormatFloat(QStringLiteral("###0.000"), amount)}}));
        }
        const QList<QPair<const char *, const char *>> lists = {
            {"0001", "01.01.001"}, {"0001", "01.02.001"}, {"0001", "01.02.002"},
            {"0001", "01.03.001"}, {"0001", "01.04.001"}, {"0001", "02.01.001"},
            {"0001", "02.01.002"}, {"0001", "03.01.001"}, {"0001", "03.02.001"},
            {"0001", "03.03.001"}, {"0001", "05.01.001"}, {"0001", "05.01.002"},
            {"0001", "05.01.003"}, {"0001", "05.02.001"}, {"0001", "05.03.001"},
            {"0002", "01.01.001"}, {"0002", "01.02.002"}, {"0002", "05.01.001"}};
        for (const auto &[branch, tree] : lists) {
            const bool pilot = qstrcmp(branch, "0001") == 0;
            Row row = productFields(product(tree));
            row.remove(QStringLiteral("CDPSQPROD"));
            add(QStringLiteral("ITEMINVENT.cds"),
                merged(row, {{QStringLiteral("CDFILIAL"), QLatin1String(branch)},
                             {QStringLiteral("NRINVENTRETI"), pilot ? QStringLiteral("7781")
                                                                    : QStringLiteral("7782")},
                             {QStringLiteral("QTITINVENTRETI"), QStringLiteral("0")}}));
        }
    }

    QDate m_today;
    QHash<QString, QList<Row>> m_files;
};

// The stored bytes of midnight of each date in a date-time field, taken from
// the table store itself so that the large file cannot drift from its form.
std::vector<std::string> storedDates(const QList<QDate> &dates)
{
    Table table;
    table.SetFieldDefs({FieldDef::of(QStringLiteral("D"), FieldKind::DateTime)});
    table.CreateDataSet();
    table.DisableControls();
    for (const QDate &date : dates) {
        table.Append();
        table.FieldByName(QStringLiteral("D"))->SetAsDate(date);
        table.Post();
    }
    const TableData data = table.Data();
    std::vector<std::string> bytes;
    bytes.reserve(size_t(dates.size()));
    for (uint32_t id : data.stored)
        bytes.emplace_back(data.heap.bytes(data.row(id)[0]));
    return bytes;
}

} // namespace

QList<DemoLogin> demoLogins()
{
    QList<DemoLogin> logins;
    for (const Operator &op : kOperators)
        logins.append({QString::fromLatin1(op.branch), QString::fromLatin1(op.code),
                       text(op.password)});
    return logins;
}

void writeTable(const QString &path, const TableDecl &decl, const QList<QVariantMap> &rows)
{
    Table table(decl.fileName);
    table.Declare(decl);
    table.CreateDataSet();
    table.DisableControls();
    for (const QVariantMap &row : rows) {
        table.Append();
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            putValue(table, decl.fileName, it.key(), it.value());
        table.Post();
    }
    table.SaveToFile(path);
}

void writeDemoDirectory(const QString &dir, const QDate &today)
{
    if (!QDir().mkpath(dir))
        throw EDatabaseError(QStringLiteral("Não foi possível criar o diretório \"%1\".")
                                 .arg(QDir::toNativeSeparators(dir)));
    const QHash<QString, QList<Row>> files = DemoBuilder(today).build();
    QList<TableDecl> declarations = RefTables::all() + RecordedTables::all();
    QSet<QString> written;
    for (const TableDecl &decl : std::as_const(declarations)) {
        const QString key = decl.fileName.toUpper();
        if (written.contains(key))
            continue;
        written.insert(key);
        writeTable(QDir(dir).filePath(decl.fileName), decl, files.value(key));
    }
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!written.contains(it.key()))
            throw EDatabaseError(QStringLiteral("O arquivo %1 não tem declaração.").arg(it.key()));
}

void writeLargePrevReti(const QString &path, int rows, const QDate &today)
{
    if (rows < 0)
        throw EDatabaseError(QStringLiteral("Número de linhas inválido: %1.").arg(rows));

    const TableDecl decl = RecordedTables::prevReti();
    TableData data;
    for (const FieldDef &def : decl.fields)
        if (!def.calculated)
            data.columns.push_back(columnFromDef(def));
    const size_t columns = data.columns.size();
    auto column = [&](const char *name) {
        const int index = data.columnIndex(QLatin1String(name));
        if (index < 0)
            throw EDatabaseError(QStringLiteral("O campo %1 não está declarado em %2.")
                                     .arg(QLatin1String(name), decl.fileName));
        return size_t(index);
    };
    const size_t cBranch = column("CDFILIAL"), cService = column("CDSERVFILI"),
                 cDate = column("DTPREVRETI"), cInternal = column("CDPRODUTO"),
                 cTree = column("CDARVPROD"), cSearch = column("CDPSQPROD"),
                 cName = column("NMPRODUTO"), cUnit = column("SGUNIDADE"),
                 cPlanned = column("QTPREVRETI"), cConsumed = column("QTCONSRETI"),
                 cType = column("CDTIPORETI"), cTypeName = column("NMTIPORETI"),
                 cOperator = column("CDOPERADOR"), cKey = column("FILSERPRDT");

    // Values that repeat are stored once and shared by every row that holds
    // them; only the row key is stored row by row.
    auto store = [&](const QString &value) {
        const QByteArray utf8 = value.toUtf8();
        return data.heap.store(std::string_view(utf8.constData(), size_t(utf8.size())));
    };
    constexpr int kLargeBranches = 12;
    constexpr int kServices = 5;
    constexpr int kProductCount = int(std::size(kProducts));
    constexpr int kPerDay = kLargeBranches * kServices * kProductCount;
    const int days = (rows + kPerDay - 1) / kPerDay;
    const QDate first = today.addDays(-(days / 2));

    std::vector<Cell> branchCells, serviceCells, typeCells, typeNameCells, operatorCells;
    std::vector<std::string> branchCodes, serviceCodes;
    for (int b = 0; b < kLargeBranches; ++b) {
        branchCodes.push_back(QStringLiteral("%1").arg(b + 1, 4, 10, QChar(u'0')).toStdString());
        branchCells.push_back(store(QString::fromStdString(branchCodes.back())));
    }
    for (int s = 0; s < kServices; ++s) {
        serviceCodes.push_back(QStringLiteral("%1").arg(s + 1, 5, 10, QChar(u'0')).toStdString());
        serviceCells.push_back(store(QString::fromStdString(serviceCodes.back())));
    }
    for (const WithdrawalType &t : kWithdrawalTypes) {
        typeCells.push_back(store(QLatin1String(t.code)));
        typeNameCells.push_back(store(text(t.name)));
    }
    for (const Operator &op : kOperators)
        operatorCells.push_back(store(QLatin1String(op.code)));
    struct ProductCells
    {
        Cell internal, tree, search, name, unit;
        std::string internalCode;
    };
    std::vector<ProductCells> productCells;
    for (const Product &p : kProducts)
        productCells.push_back({store(QLatin1String(p.internal)), store(QLatin1String(p.tree)),
                                store(QLatin1String(p.tree)), store(text(p.name)),
                                store(QLatin1String(p.unit)), std::string(p.internal)});
    constexpr int kQuantities = 997;
    std::vector<Cell> quantityCells;
    for (int q = 0; q < kQuantities; ++q)
        quantityCells.push_back(store(value5(rounded(0.5 + q * 0.137))));
    const Cell notConsumed = store(value5(0));

    QList<QDate> dates;
    for (int d = 0; d < days; ++d)
        dates.append(first.addDays(d));
    const std::vector<std::string> storedDateBytes = storedDates(dates);
    std::vector<Cell> dateCells;
    std::vector<std::string> dateTexts;
    for (int d = 0; d < days; ++d) {
        dateCells.push_back(data.heap.store(storedDateBytes[size_t(d)]));
        dateTexts.push_back(dateText(dates[d]).toStdString());
    }

    data.cells.reserve(size_t(rows) * columns);
    data.stored.reserve(size_t(rows));
    std::string key;
    for (int i = 0; i < rows; ++i) {
        const int p = i % kProductCount;
        const int s = (i / kProductCount) % kServices;
        const int b = (i / (kProductCount * kServices)) % kLargeBranches;
        const int d = i / kPerDay;
        const uint32_t id = data.allocateRow();
        data.stored.push_back(id);
        Cell *row = data.row(id);
        const ProductCells &pc = productCells[size_t(p)];
        row[cBranch] = branchCells[size_t(b)];
        row[cService] = serviceCells[size_t(s)];
        row[cDate] = dateCells[size_t(d)];
        row[cInternal] = pc.internal;
        row[cTree] = pc.tree;
        row[cSearch] = pc.search;
        row[cName] = pc.name;
        row[cUnit] = pc.unit;
        const size_t mix = size_t(i) * 7919u;
        row[cPlanned] = quantityCells[mix % kQuantities];
        if (dates[d] < today) {
            row[cConsumed] = quantityCells[(mix + 13) % kQuantities];
            const size_t type = (mix % 11 == 0) ? 1 : 0;
            row[cType] = typeCells[type];
            row[cTypeName] = typeNameCells[type];
            row[cOperator] = operatorCells[size_t(i / kProductCount) % operatorCells.size()];
        } else {
            row[cConsumed] = notConsumed;
        }
        key.assign(branchCodes[size_t(b)]);
        key += serviceCodes[size_t(s)];
        key += pc.internalCode;
        key += dateTexts[size_t(d)];
        row[cKey] = data.heap.store(key);
    }
    TableFile::write(path, data);
}

void writePurchaseParameters(const QString &dir, bool blockAboveThePlan)
{
    const TableDecl decl = RefTables::paraSupri();
    writeTable(QDir(dir).filePath(decl.fileName), decl,
               {DemoBuilder::purchaseParameters(blockAboveThePlan ? QStringLiteral("S")
                                                                  : QStringLiteral("N"))});
}

} // namespace kiv::DemoData
