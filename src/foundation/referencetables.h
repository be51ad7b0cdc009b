#pragma once

#include "tabledecl.h"

#include <QList>

// The read-only files the central system exports into the data directory:
// each file's name as the windows spell it, the fields read from it (kind,
// size, lookup label, hidden flag, shown width) and the browsing order.
// Fields the readers give no label are hidden from lookup lists.
namespace kiv::RefTables {

// The product file is the only one whose readers see it differently: its
// name is spelled two ways, and the stock windows hide the unit while the
// withdrawal window calls the name "Produto" and shows narrower columns.
enum class ProductReader : quint8 {
    Entries,
    Exits,
    Inventory,
    PurchaseRequests,
    Withdrawals,
};

// Read by entries, exits, inventory, purchase requests and withdrawals.
TableDecl produto(ProductReader reader);
// Read by entries and exits.
TableDecl filial();
// Read by entries and exits.
TableDecl cliente();
// Read by entries and exits.
TableDecl forneced();
// Read by entries and exits; each filters it to its own kind of operation.
TableDecl tipoOper();
// Read by entries.
TableDecl serie();
// Read by entries: products blocked per branch unless a supply authorisation
// brings them.
TableDecl expFilial();
// Read by entries.
TableDecl param();
// Read by entries: supply authorisations.
TableDecl numAf();
// Read by entries: items of the supply authorisations.
TableDecl itemAf();
// Read by purchase requests: allowed justifications.
TableDecl justSoli();
// Read by purchase requests: open request numbers.
TableDecl solicita();
// Read by purchase requests: supply parameters.
TableDecl paraSupri();
// Read by purchase requests: programmed delivery dates.
TableDecl dataSoli();
// Read by headcounts: menu types.
TableDecl tipoCard();
// Read by headcounts and withdrawals.
TableDecl servico();
// Read by headcounts: the clients fed by each service.
TableDecl servClie();
// Read by withdrawals: withdrawal types.
TableDecl tipoReti();

// Every reference file once; products as the inventory reads them (the
// plain labels, none hidden), since fields, kinds and sizes are the same for
// every reader.
QList<TableDecl> all();

} // namespace kiv::RefTables
