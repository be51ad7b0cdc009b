#pragma once

#include "tabledecl.h"

#include <QList>

// The files the windows record, plus the operator file and the count list:
// each file's name as the owning window spells it, the fields it declares
// (calculated ones included, marked, never stored) and its browsing order.
// Each file holds the records of every branch; a window filters its view.
namespace kiv::RecordedTables {

// DADOS_KIPC.CDS: branches, operators and scrambled passwords; read by the
// main window at start and by the login.
TableDecl dadosKipc();
// Entry document headers; read and written by entries.
TableDecl lancEntr();
// Entry document items; read and written by entries.
TableDecl itemEntr();
// Entry document due dates; read and written by entries.
TableDecl vencEntr();
// Exit document headers; read and written by exits.
TableDecl lancSaid();
// Exit document items; read and written by exits.
TableDecl itemSaid();
// Exit document due dates; read and written by exits.
TableDecl vencSaid();
// Purchase request rows; read and written by purchase requests.
TableDecl soliComp();
// Headcounts per service; read and written by headcounts.
TableDecl efetivos();
// Headcount breakdown by client; read and written by headcounts.
TableDecl efetClie();
// Planned and consumed withdrawals; read and written by withdrawals.
TableDecl prevReti();
// Stock counts; read and written by inventory.
TableDecl inventario();
// Count list exported by the central system; read by the inventory import.
TableDecl itemInvent();

// Every file above once.
QList<TableDecl> all();

} // namespace kiv::RecordedTables
