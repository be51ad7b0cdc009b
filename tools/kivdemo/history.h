#pragma once

#include <QDate>
#include <QString>

namespace kiv::DemoData {

// What writeHistoryDirectory wrote, file by file row counts for the report.
struct HistorySummary
{
    int entryDocuments = 0;
    int entryItems = 0;
    int exitDocuments = 0;
    int exitItems = 0;
    int counts = 0;
    int headcounts = 0;
    int headcountClients = 0;
    int purchaseRows = 0;
    int plannedWithdrawals = 0;
};

// Writes the demonstration directory of writeDemoDirectory into dir, then
// replaces its recorded files by `years` years of history of 20 branches as
// the central system exports them together, ending at today: per year about
// 4,000 entry documents of ten items, 3,000 exit documents of eight items,
// 30,000 count rows, headcounts with their breakdown by client, purchase
// request rows and 100,000 planned withdrawals. The demonstration logins,
// the reference tables and the documents of the last days stay as
// writeDemoDirectory made them, so the windows open on it as on the demo.
HistorySummary writeHistoryDirectory(const QString &dir, int years, const QDate &today);

} // namespace kiv::DemoData
