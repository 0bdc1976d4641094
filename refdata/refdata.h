#pragma once
// The data of a company's archives that the new version expects: the reference rows shipped with the
// model databases, the fixed causals of the VAT registers, stored values repaired, and the counterpart
// summary of the journal entries.
//
// Every procedure opens the databases it needs through ApreDb (schema/confronto.h) and releases them before
// it returns; reports go to the window's run log through MemLog (window/run_log.h). None of them lets a
// ledrana::Error through: each has its own handler, described with it. ProgramEnded (thrown by ApreDb when
// the user gives up a password) passes through, as it must.

#include <string>

#include "dao/vb/variant.h"
#include "window/aggiorna.h"

namespace ledrana {

// ---- reference tables (tabelle_fisse.cpp) ----------------------------------------------------------------
//
// Each member walks a table of the model database NomeDbOrig and appends its rows to the table of the same
// name in the company archive NomeDbDest, field by field under the same names. A row whose key the company
// already has (3022) is skipped and the company's row stays as it is. Any other error is reported with a
// message box ("number description" LF "funz. <name> " LF NomeDbOrig LF NomeDbDest) and ends the copy;
// the rows saved before it stay.

// Table "CodiciCausaliTrasporto", every model row.
void CopiaDatiCodiciCausaliTrasporto(Aggiorna& w, const std::string& NomeDbOrig,
                                     const std::string& NomeDbDest);
// Table "Categorie", only the model rows whose "NonModif" is True.
void CopiaDatiCategorieFisse(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest);
// Table "Ritenute", only when the company's table is empty: "cod", "Descrizione" and "perc" from the model,
// "conto" and "causale" empty.
void CopiaDatiRitenute(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest);
// Table "BANCHE" of the due-dates archive, every model row, after deleting the company's placeholder bank
// (account number "123456789/99").
void CopiaDatiBanche(Aggiorna& w, const std::string& NomeDbOrig, const std::string& NomeDbDest);

// ---- VAT register causals (causali.cpp) ------------------------------------------------------------------

// Rebuilds the causals 1X, 2X and 3X of every register X of "REGISTRIIVA" in "causali": deletes them, then
// adds them with the description of the register's type and Ripete False. A register whose type is not one
// of "01".."07" (or Null) gets an empty description. A code met twice (the same register in two years) is
// added once. Any other error is reported with a message box naming w.NomeDb1 and the archive, and ends the
// procedure; what was deleted before stays deleted.
void ModificaCausaliFisse(Aggiorna& w, const std::string& NomeDb);

// ---- field data fixes (campi_vari.cpp) -------------------------------------------------------------------

// Version path (table "anni" has rows): stamps every year with w.Aggiornamento.caption, fills the empty
// client/supplier and document-type fields of the invoice, order and invoice-type tables, and sets
// CLIENTI.PREZZI123 to 1 when the archive's old version text was "028" or lower. Year path ("anni" empty):
// the single year of the articles' dates (the current year when there are no articles) goes into every
// ANNO 0 of Articoli, MOVIMENTI, REGISTRIIVA, TOTALIIVA and into a new row of "anni".
// Returns true when it ran to its end; false when the articles span several years (nothing written) or an
// error stopped it (reported with a message box ending in " f=" and the step reached; the statements before
// it stay applied).
bool AggiornaCampiVari(Aggiorna& w, const std::string& NomeDb);

// ---- counterpart DIVERSI fix (diversi.cpp) ---------------------------------------------------------------

// The empty text for Null, otherwise the value itself.
dao::Variant TestNulls(const dao::Variant& value);

// Recomputes conto/CFP (debit side) and ContoA/CfpA (credit side) of every entry of "articoli" without a
// VAT register (Riva Null or empty) from its lines in "movimenti": the account and type of the side's only
// line with a non-zero amount, "DIVERSI" and an empty type when there are several, empty texts when there
// is none. Returns true when every entry was processed; false, without any report, when an error stopped it
// (entries saved before stay changed).
bool AggiornaDiversi(Aggiorna& w, const std::string& NomeDb);

} // namespace ledrana
