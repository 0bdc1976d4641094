#pragma once
// The rows of a sample company: clients, suppliers, articles of the catalogue, a journal with its VAT
// registrations, invoices, orders, attachments, and the due dates and banks of the due-dates archive.
// Written through the engine into archives of any version (fields a version lacks are left out), from a
// seed, so the same company description always gives the same rows.

#include "dao/dao.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ledrana::mkinstall {

struct CompanySpec {
    std::string name; // the company, as its INI file is named
    std::uint64_t seed = 1;
    std::vector<int> years; // the financial years of the journal, in order
    int storedYear = -1;    // Anno written into the journal tables: -1 the real year (0 for
                            // an archive of the time before years were recorded)
    std::vector<std::pair<int, std::string>> anni; // rows of the year table: year and version stamp
    std::string vatCode = "22"; // the ordinary VAT code of the period (its rate is the code)
    int clients = 100;
    int suppliers = 40;
    int products = 100;
    std::int64_t lines = 3000;  // journal lines (MOVIMENTI) in all the years together
    int invoices = 400;         // sale registrations that also get an invoice document
    bool nulls = false;         // leave a Null of every field type somewhere
    bool ownWithholding = true; // the company has withholding-tax codes of its own
};

// An invoice that the due-dates archive splits into instalments.
struct Invoice {
    std::string cfp; // "C" a client's, "F" a supplier's
    std::string clifor;
    int year = 0;       // the real year
    int storedYear = 0; // as written in the archives
    std::int32_t numDoc = 0;
    std::string number;
    double date = 0;        // day number
    std::int64_t cents = 0; // total
    std::string payment;    // payment terms code
};

// Fills an accounting archive whose structure and reference rows exist; returns the invoices.
std::vector<Invoice> FillAccounting(dao::Database& db, const CompanySpec& spec);

// Fills a due-dates archive with the company's banks and the instalments of the invoices.
void FillDueDates(dao::Database& db, const CompanySpec& spec, const std::vector<Invoice>& invoices);

} // namespace ledrana::mkinstall
