// The due-dates archive of a sample company: its banks, the batches of bank receipts and the instalments
// of its invoices.

#include "tools/mkinstall/sample_data.h"

#include "tools/mkinstall/sample_values.h"
#include "tools/mkinstall/table_writer.h"

#include <array>
#include <string>
#include <vector>

namespace ledrana::mkinstall {

void FillDueDates(dao::Database& db, const CompanySpec& spec, const std::vector<Invoice>& invoices) {
    Rng rng(spec.seed * 31 + 7);
    const int lastYear = spec.years.back();

    // The company's own banks.
    TableWriter banks(db, "BANCHE");
    const std::array<std::array<const char*, 2>, 2> own = {
        {{"03069", "Intesa Sanpaolo - filiale"}, {"05034", "Banco BPM - agenzia"}}};
    std::vector<std::string> bankCodes;
    for (std::size_t i = 0; i < own.size(); ++i) {
        const std::string cab = Digits(rng, 5), account = Digits(rng, 12);
        const City& city = rng.Pick(kCities);
        bankCodes.push_back("B" + std::to_string(i + 1));
        banks.AddNew();
        banks.Set("cod", Text(bankCodes.back()));
        banks.Set("Descrizione", Text(std::string(own[i][1]) + " di " + city.name));
        banks.Set("Agenzia", Text(std::string("Agenzia di ") + city.name));
        banks.Set("ABI", Text(own[i][0]));
        banks.Set("CAB", Text(cab));
        banks.Set("contocorrente", Text(account));
        banks.Set("IBAN", Text(Iban(rng, own[i][0], cab, account)));
        banks.Set("BIC", Text(i == 0 ? "BCITITMM" : "BAPPIT21"));
        banks.Set("Conto", Text(i == 0 ? "100.040" : "100.030"));
        banks.Set("Fido", Cents(rng.Range(1, 10) * 1000000LL));
        banks.Set("SiaAzienda", Text("A" + Digits(rng, 4)));
        banks.Set("Attiva", Variant(true));
        banks.Update();
    }

    // Batches of bank receipts, one a month of the last year.
    TableWriter batches(db, "DISTINTE");
    for (int m = 1; m <= 12; ++m) {
        batches.AddNew();
        batches.Set("Dt", Variant::FromDate(lastYear, m, 20));
        batches.Set("Banca", Text("B1"));
        batches.Set("NumEffetti", Short(0));
        batches.Set("Totale", Cents(0));
        batches.Set("Presentata", Variant(true));
        batches.Set("FileRiba", Text("C:\\ZU\\RIBA\\RIBA" + Code("", m, 4) + ".TXT"));
        batches.Update();
    }

    TableWriter dues(db, "SCADENZE");
    TableWriter reminders(db, "SOLLECITI");
    TableWriter lire(db, "STORICOLIRE");
    const bool oldDates = !dues.Has("AbiCliente") || !reminders.Active();
    const double today = dao::DateSerial(lastYear, 10, 1);
    for (const Invoice& inv : invoices) {
        const std::string& pay = inv.payment;
        const int rate = pay == "RB369" ? 3 : pay == "BB36" ? 2 : 1;
        const int first = pay == "RD" ? 0 : pay.find("60") != std::string::npos ? 60 : 30;
        const bool riba = pay.rfind("RB", 0) == 0;
        std::int64_t left = inv.cents;
        for (int r = 1; r <= rate; ++r) {
            const std::int64_t amount = r == rate ? left : inv.cents / rate;
            left -= amount;
            const double due = inv.date + first + 30 * (r - 1);
            const bool paid = due < today - 20 || rng.Chance(10);
            dues.AddNew();
            dues.Set("CFP", Text(inv.cfp));
            dues.Set("CLIFOR", Text(inv.clifor));
            dues.Set("Anno", Short(inv.storedYear));
            dues.Set("NumDoc", Long(inv.numDoc));
            dues.Set("NumFattura", Text(inv.number));
            dues.Set("DataFattura", Variant::FromDate(inv.date));
            dues.Set("NumRata", Short(r));
            dues.Set("DataScadenza", Variant::FromDate(due));
            dues.Set("Importo", Cents(amount));
            dues.Set("Pagato", Cents(paid ? amount : 0));
            dues.Set("TipoEffetto", Text(riba ? "RB" : pay == "RD" ? "RD" : "BB"));
            dues.Set("Banca", Text(bankCodes[rng.Next() % bankCodes.size()]));
            dues.Set("AbiCliente", Text(riba ? std::string(rng.Pick(kBankAbi)) : ""));
            dues.Set("CabCliente", Text(riba ? Digits(rng, 5) : ""));
            dues.Set("Stato", Variant::FromByte(paid ? 1 : (riba && rng.Chance(5) ? 2 : 0)));
            // Older versions left the payment date of an open instalment empty.
            dues.Set("DataPagamento", paid ? Variant::FromDate(due + rng.Range(-5, 10))
                                           : (oldDates ? Variant::Null() : Variant::FromDate(1980, 1, 1)));
            const int year = static_cast<int>(dao::SplitDate(due).year);
            const int month = static_cast<int>(dao::SplitDate(due).month);
            dues.Set("IdDistinta", Long(riba && inv.cfp == "C" && paid && year == lastYear ? month : 0));
            dues.Set("Note", Text(""));
            dues.Update();
            if (!paid && due < today - 30 && reminders.Active()) {
                reminders.AddNew();
                reminders.Set("IdScadenza", Long(dues.Rows()));
                reminders.Set("Dt", Variant::FromDate(due + 30));
                reminders.Set("Livello", Variant::FromByte(1));
                reminders.Set("Testo", Text("Sollecito di pagamento della fattura n. " + inv.number));
                reminders.Set("Inviato", Variant(rng.Chance(70)));
                reminders.Update();
            }
            if (lire.Active() && inv.year < 2002) {
                lire.AddNew();
                lire.Set("IdScadenza", Long(dues.Rows()));
                lire.Set("ImportoLire", Variant(amount / 100.0 * 1936.27));
                lire.Set("Cambio", Variant(1936.27));
                lire.Update();
            }
        }
    }
}

} // namespace ledrana::mkinstall
