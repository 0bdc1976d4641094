#include "tools/mkinstall/sample_data.h"

#include "platform/error.h"
#include "tools/mkinstall/sample_values.h"
#include "tools/mkinstall/table_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <tuple>

namespace ledrana::mkinstall {
namespace {

using dao::Variant;

const std::array<const char*, 60> kSurnames = {
    "Rossi",   "Bianchi",  "Ferrari",    "Esposito",  "Romano",   "Colombo",   "Ricci",     "Marino",
    "Greco",   "Bruno",    "Gallo",      "Conti",     "De Luca",  "Mancini",   "Costa",     "Giordano",
    "Rizzo",   "Lombardi", "Moretti",    "Barbieri",  "Fontana",  "Santoro",   "Mariani",   "Rinaldi",
    "Caruso",  "Ferrara",  "Galli",      "Martini",   "Leone",    "Longo",     "Gentile",   "Martinelli",
    "Vitale",  "Serra",    "Coppola",    "De Santis", "D'Angelo", "Marchetti", "Parisi",    "Villa",
    "Conte",   "Ferraro",  "Fabbri",     "Bianco",    "Marini",   "Grasso",    "Valentini", "Messina",
    "Sala",    "Gatti",    "Pellegrini", "Palumbo",   "Sanna",    "Farina",    "Monti",     "Cattaneo",
    "Morelli", "Amato",    "Silvestri",  "D'Amico",
};

const std::array<const char*, 16> kTrades = {
    "Ferramenta",   "Autofficina", "Studio tecnico", "Tipografia",         "Panificio",  "Elettrauto",
    "Falegnameria", "Idraulica",   "Ottica",         "Farmacia",           "Cartoleria", "Edilizia",
    "Trasporti",    "Ristorante",  "Albergo",        "Impianti elettrici",
};

const std::array<const char*, 6> kForms = {"S.r.l.", "S.n.c.", "S.p.A.", "& C. S.a.s.", "S.r.l.s.", "di"};

const std::array<const char*, 14> kStreets = {
    "Via Roma",
    "Via Garibaldi",
    "Corso Italia",
    "Via Mazzini",
    "Via Verdi",
    "Piazza della Repubblica",
    "Via Dante",
    "Via Cavour",
    "Viale Europa",
    "Via Marconi",
    "Via dell'Industria",
    "Via Matteotti",
    "Corso Vittorio Emanuele",
    "Via San Martino",
};

const std::array<const char*, 9> kFirstNames = {"Mario", "Luca",  "Giulia",    "Anna",   "Paolo",
                                                "Marco", "Laura", "Francesca", "Giorgio"};

struct ProductKind {
    const char* prefix;
    const char* category;
    const char* description;
    const char* unit;
    int minPrice, maxPrice; // euros
};

const std::array<ProductKind, 12> kProducts = {{
    {"STL", "HW", "Stampante laser", "PZ", 120, 900},
    {"MON", "HW", "Monitor", "PZ", 90, 700},
    {"PC", "HW", "Personal computer", "PZ", 450, 1800},
    {"TON", "CONS", "Toner", "PZ", 25, 140},
    {"CAR", "CANC", "Carta per fotocopie", "RS", 3, 9},
    {"PEN", "CANC", "Penne a sfera (conf. 50)", "CF", 6, 20},
    {"LIC", "SW", "Licenza software", "PZ", 60, 1200},
    {"ASS", "SERV", "Assistenza tecnica", "H", 35, 90},
    {"CAV", "CONS", "Cavo di rete", "PZ", 2, 25},
    {"SCA", "IMB", "Scatola da imballo", "PZ", 1, 6},
    {"UPS", "HW", "Gruppo di continuita'", "PZ", 80, 600},
    {"TRA", "TRASP", "Spese di trasporto", "PZ", 8, 60},
}};

// Payment terms that every version of the product ships.
const std::array<const char*, 7> kPayments = {"RD", "RB30", "RB60", "RB369", "BB30", "BB60", "BB36"};

// Execute with dbFailOnError, the statement named in the error.
void Exec(dao::Database& db, const std::string& sql) {
    try {
        db.Execute(sql, dao::dbFailOnError);
    } catch (const Error& e) {
        throw Error(e.number(), e.description() + " [" + sql + "]");
    }
}

bool HasField(dao::Database& db, const std::string& table, const std::string& field) {
    try {
        db.TableDefs()[table].Fields()[field];
        return true;
    } catch (const Error&) {
        return false;
    }
}

Variant Day(int year, int dayOfYear) {
    return Variant::FromDate(dao::DateSerial(year, 1, 1) + dayOfYear);
}

std::string Lower(std::string s) {
    std::string out;
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

std::string CompanyName(Rng& rng) {
    const std::string surname = kSurnames[rng.Next() % kSurnames.size()];
    const std::string form = rng.Pick(kForms);
    if (form == "di") return std::string(rng.Pick(kTrades)) + " di " + rng.Pick(kFirstNames) + " " + surname;
    if (rng.Chance(40)) return std::string(rng.Pick(kTrades)) + " " + surname + " " + form;
    return surname + " " + form;
}

struct Party {
    std::string code, name, payment;
};

struct Product {
    std::string code, name;
    int price = 0; // euros
};

using Sums = std::pair<std::int64_t, std::int64_t>; // taxable amount and VAT, in cents

void Add(Sums& a, std::int64_t net, std::int64_t vat) {
    a.first += net;
    a.second += vat;
}

// One journal line.
struct Line {
    std::string conto, cfp;
    std::int64_t dare = 0, avere = 0; // cents
    std::string descr, vat;
};

class Accounting {
public:
    Accounting(dao::Database& db, const CompanySpec& spec) : db_(db), spec_(spec), rng_(spec.seed) {}

    std::vector<Invoice> Run() {
        Years();
        CostCentres();
        Clients();
        Suppliers();
        Products();
        JobsAndPrices();
        Withholding();
        Registers();
        Journal();
        VatTotals();
        DeliveryNotes();
        Orders();
        Attachments();
        PrintQueue();
        if (spec_.nulls) Nulls();
        return invoices_;
    }

private:
    int Stored(int year) const { return spec_.storedYear >= 0 ? spec_.storedYear : year; }

    void Years() {
        TableWriter w(db_, "anni");
        for (const auto& [year, ver] : spec_.anni) {
            w.AddNew();
            w.Set("Anno", Short(year));
            w.Set("ver", ver.empty() ? Variant::Null() : Text(ver));
            w.Set("EURO", Variant(year >= 2002));
            w.Set("DataInizio", Variant::FromDate(year, 1, 1));
            w.Set("DataFine", Variant::FromDate(year, 12, 31));
            w.Set("Chiuso", Variant(year != spec_.anni.back().first));
            w.Set("UltimoNumDoc", Long(0));
            w.Update();
        }
    }

    void CostCentres() {
        TableWriter w(db_, "CENTRICOSTO");
        const std::array<std::array<const char*, 2>, 4> rows = {{{"AMM", "Amministrazione"},
                                                                 {"COM", "Commerciale"},
                                                                 {"PRO", "Produzione"},
                                                                 {"MAG", "Magazzino"}}};
        for (const auto& r : rows) {
            w.AddNew();
            w.Set("Cod", Text(r[0]));
            w.Set("Descrizione", Text(r[1]));
            w.Set("Responsabile", Text(std::string(rng_.Pick(kFirstNames)) + " " + rng_.Pick(kSurnames)));
            w.Set("Attivo", Variant(true));
            w.Update();
        }
    }

    void FillParty(TableWriter& w, const std::string& code, const std::string& name, int year) {
        const City& city = rng_.Pick(kCities);
        const bool person = name.find(" di ") != std::string::npos;
        const std::string piva = Digits(rng_, 11);
        w.Set("Cod", Text(code));
        w.Set("RagSoc", Text(name.substr(0, 40)));
        w.Set("RagSoc2", Text(""));
        w.Set("Indirizzo", Text(std::string(rng_.Pick(kStreets)) + " " + std::to_string(rng_.Range(1, 180))));
        w.Set("CAP", Text(city.cap));
        w.Set("Localita", Text(city.name));
        w.Set("Prov", Text(city.prov));
        w.Set("Nazione", Text("ITA"));
        w.Set("PIva", Text(piva));
        w.Set("CodFsc", Text(person ? "RSSMRA" + Digits(rng_, 2) + "A" + Digits(rng_, 2) + "F205X" : piva));
        w.Set("Telefono", Text("0" + Digits(rng_, 2) + " " + Digits(rng_, 7)));
        w.Set("Fax", Text(rng_.Chance(30) ? "0" + Digits(rng_, 2) + " " + Digits(rng_, 7) : ""));
        w.Set("Telex", Text(""));
        w.Set("Email", Text("info@" + Lower(name).substr(0, 20) + ".it"));
        w.Set("Pec", Text(rng_.Chance(50) ? Lower(name).substr(0, 20) + "@pec.it" : ""));
        w.Set("CodIva", Text(spec_.vatCode));
        w.Set("Bloccato", Variant(rng_.Chance(3)));
        w.Set("DataIns", Day(year, rng_.Range(0, 360)));
        w.Set("Note", Text(rng_.Chance(10) ? "Contattare l'amministrazione prima della consegna" : ""));
    }

    void Clients() {
        TableWriter w(db_, "CLIENTI");
        for (int i = 1; i <= spec_.clients; ++i) {
            const std::string code = Code("C", i);
            const std::string name = CompanyName(rng_);
            const std::string payment = kPayments[rng_.Next() % kPayments.size()];
            w.AddNew();
            FillParty(w, code, name, spec_.years.front() - 1);
            w.Set("CodDestinatario", Text(rng_.Chance(60) ? "0000000" : "M5UXCR1"));
            w.Set("CodPag", Text(payment));
            const bool riba = payment.rfind("RB", 0) == 0;
            w.Set("AbiCliente", Text(riba ? rng_.Pick(kBankAbi) : ""));
            w.Set("CabCliente", Text(riba ? Digits(rng_, 5) : ""));
            w.Set("ContoRicavi", Text("400.010"));
            w.Set("PREZZI123", Short(rng_.Range(1, 3)));
            w.Set("Sconto", Variant::FromSingle(static_cast<float>(rng_.Range(0, 4) * 2.5)));
            w.Set("Fido", Cents(rng_.Range(0, 40) * 50000));
            w.Update();
            clients_.push_back({code, name, payment});
        }
    }

    void Suppliers() {
        TableWriter w(db_, "FORNITORI");
        for (int i = 1; i <= spec_.suppliers; ++i) {
            const std::string code = Code("F", i);
            const bool professional = rng_.Chance(10);
            const std::string name = professional ? std::string(rng_.Chance(50) ? "Avv. " : "Dott. ") +
                                                        rng_.Pick(kFirstNames) + " " + rng_.Pick(kSurnames)
                                                  : CompanyName(rng_);
            const std::string payment = kPayments[rng_.Next() % kPayments.size()];
            w.AddNew();
            FillParty(w, code, name, spec_.years.front() - 1);
            w.Set("CodPag", Text(payment));
            w.Set("ContoCosti", Text(professional ? "510.050" : "500.010"));
            w.Set("Ritenuta", Text(professional ? "1040" : ""));
            w.Update();
            suppliers_.push_back({code, name, payment});
        }
    }

    void Products() {
        TableWriter w(db_, "Prodotti");
        for (int i = 1; i <= spec_.products; ++i) {
            const ProductKind& kind = rng_.Pick(kProducts);
            const std::string code = Code(kind.prefix, i, 4);
            const int price = rng_.Range(kind.minPrice, kind.maxPrice);
            const bool stocked = std::string(kind.category) != "SERV" && std::string(kind.category) != "SW";
            w.AddNew();
            w.Set("Cod", Text(code));
            const std::string name =
                std::string(kind.description) + " mod. " + Code("", rng_.Range(10, 990), 3);
            w.Set("Descrizione", Text(name));
            w.Set("UM", Text(kind.unit));
            w.Set("Categoria", Text(kind.category));
            w.Set("CodIva", Text(spec_.vatCode));
            w.Set("Prezzo1", Cents(price * 100LL));
            w.Set("Prezzo2", Cents(price * 95LL));
            w.Set("Prezzo3", Cents(price * 90LL));
            w.Set("Costo", Cents(price * 62LL));
            w.Set("Giacenza", Variant(stocked ? rng_.Range(0, 120) * 1.0 : 0.0));
            w.Set("ScortaMin", Variant(stocked ? rng_.Range(0, 20) * 1.0 : 0.0));
            w.Set("Peso", Variant::FromSingle(static_cast<float>(rng_.Range(1, 150) / 10.0)));
            w.Set("CodiceEAN", Text(stocked ? "80" + Digits(rng_, 11) : ""));
            w.Set("Immagine", Text(kind.prefix == std::string("STL") ? "stampante.jpg" : ""));
            w.Set("Documento", Text(kind.prefix == std::string("STL") ? "stampante.doc" : ""));
            w.Set("DataUltimoCarico", Day(spec_.years.back(), rng_.Range(0, 300)));
            w.Set("Obsoleto", Variant(rng_.Chance(5)));
            w.Set("Note", Text(""));
            w.Update();
            products_.push_back({code, name, price});
        }
    }

    void JobsAndPrices() {
        TableWriter jobs(db_, "COMMESSE");
        const int year = spec_.years.back();
        for (int i = 1; i <= 12; ++i) {
            const auto& client = clients_[rng_.Next() % clients_.size()];
            jobs.AddNew();
            jobs.Set("Cod", Text(Code(("CM" + std::to_string(year % 100) + "-").c_str(), i, 3)));
            jobs.Set("Descrizione", Text(("Fornitura presso " + client.name).substr(0, 60)));
            jobs.Set("Cliente", Text(client.code));
            jobs.Set("DataInizio", Day(year, i * 25));
            jobs.Set("DataFine", Day(year, i * 25 + 40));
            jobs.Set("Preventivo", Cents(rng_.Range(10, 200) * 10000LL));
            jobs.Set("Chiusa", Variant(i < 8));
            jobs.Update();
            jobs_.push_back(Code(("CM" + std::to_string(year % 100) + "-").c_str(), i, 3));
        }
        TableWriter prices(db_, "LISTINI");
        for (int i = 0; i < 40 && prices.Active(); ++i) {
            prices.AddNew();
            prices.Set("Cliente", Text(clients_[i % clients_.size()].code));
            prices.Set("CodProdotto", Text(products_[(i * 7) % products_.size()].code));
            prices.Set("DataInizio", Variant::FromDate(year, 1, 1 + i / static_cast<int>(clients_.size())));
            prices.Set("DataFine", Variant::FromDate(year, 12, 31));
            prices.Set("Prezzo", Cents(products_[(i * 7) % products_.size()].price * 88LL));
            prices.Set("Sconto", Variant::FromSingle(0));
            prices.Update();
        }
    }

    void Withholding() {
        if (!spec_.ownWithholding) return;
        TableWriter w(db_, "Ritenute");
        const std::array<std::array<const char*, 3>, 2> rows = {
            {{"1040", "Ritenuta d'acconto professionisti 20%", "20"},
             {"1038", "Provvigioni agenti", "11.5"}}};
        for (const auto& r : rows) {
            w.AddNew();
            w.Set("cod", Text(r[0]));
            w.Set("Descrizione", Text(r[1]));
            w.Set("perc", Variant(std::stod(r[2])));
            w.Set("conto", Text("170.040"));
            w.Set("causale", Text("020"));
            w.Set("CodTributo", Text(r[0]));
            w.Update();
        }
    }

    void Registers() {
        TableWriter w(db_, "REGISTRIIVA");
        const std::array<std::array<const char*, 3>, 3> kinds = {{{"V", "01", "Registro fatture emesse"},
                                                                  {"A", "03", "Registro fatture di acquisto"},
                                                                  {"C", "02", "Registro dei corrispettivi"}}};
        // An archive without years keeps one set of registers with year 0.
        std::vector<int> years = spec_.storedYear >= 0 ? std::vector<int>{spec_.years.front()} : spec_.years;
        for (int year : years)
            for (const auto& k : kinds) {
                w.AddNew();
                w.Set("Anno", Short(Stored(year)));
                w.Set("cod", Text(k[0]));
                w.Set("Tipo", Text(k[1]));
                w.Set("Descrizione", Text(k[2]));
                w.Set("UltimoProtocollo", Long(0));
                w.Set("DataUltimaStampa", Variant::FromDate(year, 12, 31));
                w.Set("UltimaPagina", Long(rng_.Range(5, 60)));
                w.Set("Sezionale", Text(""));
                w.Update();
            }
    }

    // The accounts summary of an entry as the product keeps it: the single account of a side, or
    // "DIVERSI" when a side has several lines.
    static std::pair<std::string, std::string> Side(const std::vector<Line>& lines, bool debit) {
        std::string conto, cfp;
        for (const auto& l : lines) {
            if ((debit ? l.dare : l.avere) == 0) continue;
            if (conto.empty()) {
                conto = l.conto;
                cfp = l.cfp;
            } else {
                conto = "DIVERSI";
                cfp = "";
            }
        }
        return {conto, cfp};
    }

    std::int64_t Amount(int lo, int hi) { return rng_.Range(lo, hi) * 100LL + rng_.Range(0, 99); }
    std::int64_t Vat(std::int64_t net) const { return (net * std::stoi(spec_.vatCode) + 50) / 100; }

    void Journal() {
        TableWriter entries(db_, "Articoli");
        TableWriter lines(db_, "MOVIMENTI");
        TableWriter docs(db_, "FATTURECLI");
        TableWriter docLines(db_, "FATTURECLI_R");
        const int slots[] = {lines.Slot("Anno"),        lines.Slot("NumDoc"),      lines.Slot("posi"),
                             lines.Slot("conto"),       lines.Slot("CFP"),         lines.Slot("ImpoDare"),
                             lines.Slot("ImpoAvere"),   lines.Slot("Descrizione"), lines.Slot("CodIva"),
                             lines.Slot("CentroCosto"), lines.Slot("Partita"),     lines.Slot("ImportoLire")};
        const bool hasCliFor = docs.Has("CLIFOR");
        const std::int64_t perYear = spec_.lines / static_cast<std::int64_t>(spec_.years.size());
        int invoiceNo = 0;
        for (int year : spec_.years) {
            std::int64_t written = 0;
            std::int32_t numDoc = 0;
            int protV = 0, protA = 0, protC = 0;
            while (written < perYear) {
                ++numDoc;
                const int day = static_cast<int>((written * 360) / perYear);
                std::vector<Line> l;
                std::string causale, descr, riva, numFatt;
                int prot = 0;
                const int kind = rng_.Range(1, 100);
                if (kind <= 35) { // sale invoice
                    const auto& c = clients_[rng_.Next() % clients_.size()];
                    const std::int64_t net1 = Amount(40, 3000), net2 = rng_.Chance(40) ? Amount(10, 800) : 0;
                    const std::int64_t vat = Vat(net1 + net2);
                    prot = ++protV;
                    numFatt = std::to_string(prot);
                    causale = "001";
                    descr = "Fattura n. " + numFatt + " " + c.name.substr(0, 30);
                    riva = "V";
                    l.push_back({c.code, "C", net1 + net2 + vat, 0, c.name.substr(0, 40), ""});
                    l.push_back({"400.010", "P", 0, net1, "Ricavi vendita merci", spec_.vatCode});
                    if (net2) l.push_back({"400.020", "P", 0, net2, "Prestazioni di servizi", spec_.vatCode});
                    l.push_back({"170.030", "P", 0, vat, "IVA su vendite", spec_.vatCode});
                    Add(totals_[{Stored(year), "V", day / 30 + 1}], net1 + net2, vat);
                    invoices_.push_back({"C", c.code, year, Stored(year), numDoc, numFatt,
                                         dao::DateSerial(year, 1, 1) + day, net1 + net2 + vat, c.payment});
                    if (invoiceNo < spec_.invoices)
                        Document(docs, docLines, hasCliFor, ++invoiceNo, year, day, c, net1, net2, vat,
                                 numDoc);
                } else if (kind <= 60) { // purchase invoice
                    const auto& s = suppliers_[rng_.Next() % suppliers_.size()];
                    const std::int64_t net = Amount(20, 4000), vat = Vat(net);
                    prot = ++protA;
                    numFatt = Code("", rng_.Range(1, 9999), 4) + "/" + std::to_string(year % 100);
                    causale = "030";
                    descr = "Fattura " + s.name.substr(0, 25) + " n. " + numFatt;
                    riva = "A";
                    l.push_back(
                        {rng_.Chance(70) ? "500.010" : "510.030", "P", net, 0, "Acquisti", spec_.vatCode});
                    l.push_back({"170.020", "P", vat, 0, "IVA su acquisti", spec_.vatCode});
                    l.push_back({s.code, "F", 0, net + vat, s.name.substr(0, 40), ""});
                    Add(totals_[{Stored(year), "A", day / 30 + 1}], net, vat);
                    invoices_.push_back({"F", s.code, year, Stored(year), numDoc, numFatt,
                                         dao::DateSerial(year, 1, 1) + day, net + vat, s.payment});
                } else if (kind <= 72) { // receipt from one or two clients
                    const auto& c1 = clients_[rng_.Next() % clients_.size()];
                    const auto& c2 = clients_[rng_.Next() % clients_.size()];
                    const std::int64_t a1 = Amount(50, 3000), a2 = rng_.Chance(30) ? Amount(50, 1500) : 0;
                    causale = "010";
                    descr = "Incasso da clienti";
                    l.push_back({"100.040", "P", a1 + a2, 0, "Bonifico ricevuto", ""});
                    l.push_back({c1.code, "C", 0, a1, c1.name.substr(0, 40), ""});
                    if (a2) l.push_back({c2.code, "C", 0, a2, c2.name.substr(0, 40), ""});
                } else if (kind <= 85) { // payment to a supplier
                    const auto& s = suppliers_[rng_.Next() % suppliers_.size()];
                    const std::int64_t a = Amount(50, 4000);
                    causale = "024";
                    descr = "Pagamento " + s.name.substr(0, 40);
                    l.push_back({s.code, "F", a, 0, s.name.substr(0, 40), ""});
                    l.push_back({"100.040", "P", 0, a, "Bonifico disposto", ""});
                } else if (kind <= 92) { // daily takings
                    const std::int64_t net = Amount(100, 2500), vat = Vat(net);
                    prot = ++protC;
                    causale = "005";
                    descr = "Corrispettivi del giorno";
                    riva = "C";
                    l.push_back({"100.010", "P", net + vat, 0, "Incassi al banco", ""});
                    l.push_back({"400.010", "P", 0, net, "Corrispettivi", spec_.vatCode});
                    l.push_back({"170.030", "P", 0, vat, "IVA su corrispettivi", spec_.vatCode});
                    Add(totals_[{Stored(year), "C", day / 30 + 1}], net, vat);
                } else { // salaries
                    const std::int64_t net = Amount(1200, 2400), contrib = Amount(300, 800);
                    causale = "050";
                    descr = "Retribuzioni del mese";
                    l.push_back({"530.010", "P", net, 0, "Stipendi", ""});
                    l.push_back({"530.020", "P", contrib, 0, "Contributi", ""});
                    l.push_back({"190.010", "P", 0, net, "Netto da pagare", ""});
                    l.push_back({"180.010", "P", 0, contrib, "INPS c/contributi", ""});
                }

                std::int64_t total = 0;
                for (const auto& x : l)
                    total += x.dare;
                auto [dConto, dCfp] = Side(l, true);
                auto [aConto, aCfp] = Side(l, false);
                entries.AddNew();
                entries.Set("Anno", Short(Stored(year)));
                entries.Set("NumDoc", Long(numDoc));
                entries.Set("Dt", Day(year, day));
                entries.Set("Causale", Text(causale));
                entries.Set("Descrizione", Text(descr.substr(0, 60)));
                entries.Set("Riva", Text(riva));
                entries.Set("Protocollo", Long(prot));
                entries.Set("NumFattura", Text(numFatt));
                entries.Set("DataFattura", Day(year, day));
                // Older versions kept only the debit side, and not always.
                const bool summary = entries.Has("ContoA") || rng_.Chance(80);
                entries.Set("conto", Text(summary ? dConto : ""));
                entries.Set("CFP", Text(summary ? dCfp : ""));
                entries.Set("ContoA", Text(aConto));
                entries.Set("CfpA", Text(aCfp));
                entries.Set("Totale", Cents(total));
                entries.Set("TotaleLire", Variant::FromCurrency(total / 100.0 * 1936.27));
                entries.Set("Stampato", Variant(year != spec_.years.back()));
                entries.Update();

                for (std::size_t p = 0; p < l.size(); ++p) {
                    const Line& x = l[p];
                    lines.AddNew();
                    lines.Set(slots[0], Short(Stored(year)));
                    lines.Set(slots[1], Long(numDoc));
                    lines.Set(slots[2], Short(static_cast<int>(p + 1)));
                    lines.Set(slots[3], Text(x.conto));
                    lines.Set(slots[4], Text(x.cfp));
                    lines.Set(slots[5], Cents(x.dare));
                    lines.Set(slots[6], Cents(x.avere));
                    lines.Set(slots[7], Text(x.descr));
                    lines.Set(slots[8], Text(x.vat));
                    lines.Set(slots[9], Text(x.conto.rfind("5", 0) == 0 ? "AMM" : ""));
                    lines.Set(slots[10], Text(numFatt));
                    lines.Set(slots[11], Variant::FromCurrency((x.dare + x.avere) / 100.0 * 1936.27));
                    lines.Update();
                }
                written += static_cast<std::int64_t>(l.size());
            }
            protocols_[year] = {protV, protA, protC, numDoc};
        }
        entries_ = entries.Rows();
    }

    void Document(TableWriter& docs, TableWriter& docLines, bool hasCliFor, int id, int year, int day,
                  const Party& c, std::int64_t net1, std::int64_t net2, std::int64_t vat,
                  std::int32_t numDoc) {
        docs.AddNew();
        docs.Set("Tipo", Text("FT"));
        docs.Set("Anno", Short(year));
        docs.Set("Numero", Long(numDoc));
        docs.Set("Dt", Day(year, day));
        docs.Set("CLIFOR", Text(c.code));
        docs.Set("CLIENTE", Text(hasCliFor ? "" : c.code));
        docs.Set("CFP", Text("C"));
        docs.Set("CodPag", Text(c.payment));
        docs.Set("CausaleTrasporto", Text(""));
        docs.Set("Vettore", Text(""));
        docs.Set("Colli", Short(0));
        docs.Set("Peso", Variant::FromSingle(0));
        docs.Set("Imponibile", Cents(net1 + net2));
        docs.Set("Iva", Cents(vat));
        docs.Set("Totale", Cents(net1 + net2 + vat));
        docs.Set("TotaleLire", Variant::FromCurrency((net1 + net2 + vat) / 100.0 * 1936.27));
        docs.Set("Ritenuta", Cents(0));
        docs.Set("Note", Text(rng_.Chance(20) ? "Vs. ordine n. " + std::to_string(rng_.Range(1, 400)) : ""));
        docs.Set("Contabilizzata", Variant(true));
        docs.Set("NumDocCont", Long(numDoc));
        docs.Update();
        std::int64_t rest[] = {net1, net2};
        int riga = 0;
        for (std::int64_t amount : rest) {
            if (amount == 0) continue;
            const auto& p = products_[rng_.Next() % products_.size()];
            const int qty = rng_.Range(1, 10);
            docLines.AddNew();
            docLines.Set("IdFattura", Long(id));
            docLines.Set("Riga", Short(++riga));
            docLines.Set("CLIFOR", Text(c.code));
            docLines.Set("CLIENTE", Text(hasCliFor ? "" : c.code));
            docLines.Set("CFP", Text("C"));
            docLines.Set("CodProdotto", Text(p.code));
            docLines.Set("Descrizione", Text(p.name));
            docLines.Set("UM", Text("PZ"));
            docLines.Set("Quantita", Variant(static_cast<double>(qty)));
            docLines.Set("Prezzo", Variant::FromCurrency(amount / 100.0 / qty));
            docLines.Set("Sconto", Variant::FromSingle(0));
            docLines.Set("CodIva", Text(spec_.vatCode));
            docLines.Set("Importo", Cents(amount));
            docLines.Set("Commessa", Text(rng_.Chance(15) ? jobs_[rng_.Next() % jobs_.size()] : ""));
            docLines.Update();
        }
    }

    void VatTotals() {
        TableWriter w(db_, "TOTALIIVA");
        for (const auto& [key, sums] : totals_) {
            const auto& [year, reg, month] = key;
            w.AddNew();
            w.Set("Anno", Short(year));
            w.Set("Riva", Text(reg));
            w.Set("Mese", Short(month));
            w.Set("CodIva", Text(spec_.vatCode));
            w.Set("Imponibile", Cents(sums.first));
            w.Set("Imposta", Cents(sums.second));
            w.Set("Indetraibile", Cents(0));
            w.Update();
        }
        // The registers' last protocol numbers.
        for (const auto& [year, p] : protocols_) {
            const std::string anno = std::to_string(Stored(year));
            const std::string regs[] = {"V", "A", "C"};
            for (int i = 0; i < 3; ++i)
                Exec(db_, "UPDATE REGISTRIIVA SET UltimoProtocollo=" + std::to_string(p[i]) +
                              " WHERE Anno=" + anno + " AND cod='" + regs[i] + "'");
            if (HasField(db_, "anni", "UltimoNumDoc"))
                Exec(db_, "UPDATE anni SET UltimoNumDoc=" + std::to_string(p[3]) + " WHERE Anno=" + anno);
        }
    }

    void DeliveryNotes() {
        TableWriter docs(db_, "FATTURECLI");
        TableWriter docLines(db_, "FATTURECLI_R");
        const int year = spec_.years.back();
        const std::int64_t firstId =
            static_cast<std::int64_t>(std::min<std::size_t>(invoices_.size(), spec_.invoices));
        const int count = std::max(5, spec_.invoices / 10);
        for (int i = 1; i <= count; ++i) {
            const auto& c = clients_[rng_.Next() % clients_.size()];
            docs.AddNew();
            docs.Set("Tipo", Text("DDT"));
            docs.Set("Anno", Short(year));
            docs.Set("Numero", Long(i));
            docs.Set("Dt", Day(year, i * 360 / count));
            docs.Set("CLIFOR", Text(c.code));
            docs.Set("CLIENTE", Text(docs.Has("CLIFOR") ? "" : c.code));
            docs.Set("CFP", Text("C"));
            docs.Set("CodPag", Text(c.payment));
            docs.Set("CausaleTrasporto", Text(rng_.Chance(85) ? "01" : "03"));
            docs.Set("Vettore", Text(rng_.Chance(50) ? "Mittente" : "Corriere Espresso S.r.l."));
            docs.Set("Colli", Short(rng_.Range(1, 12)));
            docs.Set("Peso", Variant::FromSingle(static_cast<float>(rng_.Range(5, 900) / 10.0)));
            docs.Set("Imponibile", Cents(0));
            docs.Set("Iva", Cents(0));
            docs.Set("Totale", Cents(0));
            docs.Set("TotaleLire", Cents(0));
            docs.Set("Ritenuta", Cents(0));
            docs.Set("Note", Text(""));
            docs.Set("Contabilizzata", Variant(false));
            docs.Set("NumDocCont", Long(0));
            docs.Update();
            const auto& p = products_[rng_.Next() % products_.size()];
            docLines.AddNew();
            docLines.Set("IdFattura", Long(firstId + i));
            docLines.Set("Riga", Short(1));
            docLines.Set("CLIFOR", Text(c.code));
            docLines.Set("CLIENTE", Text(docLines.Has("CLIFOR") ? "" : c.code));
            docLines.Set("CFP", Text("C"));
            docLines.Set("CodProdotto", Text(p.code));
            docLines.Set("Descrizione", Text(p.name));
            docLines.Set("UM", Text("PZ"));
            docLines.Set("Quantita", Variant(static_cast<double>(rng_.Range(1, 30))));
            docLines.Set("Prezzo", Cents(0));
            docLines.Set("Sconto", Variant::FromSingle(0));
            docLines.Set("CodIva", Text(spec_.vatCode));
            docLines.Set("Importo", Cents(0));
            docLines.Set("Commessa", Text(""));
            docLines.Update();
        }
    }

    void Orders() {
        const int year = spec_.years.back();
        for (const bool customer : {true, false}) {
            TableWriter head(db_, customer ? "ORDINICLI" : "ORDINIFOR");
            TableWriter rows(db_, customer ? "ORDINICLI_R" : "ORDINIFOR_R");
            for (int i = 1; i <= 25; ++i) {
                const auto& party = customer ? clients_[rng_.Next() % clients_.size()]
                                             : suppliers_[rng_.Next() % suppliers_.size()];
                const int n = rng_.Range(1, 3);
                const bool done = i < 18;
                std::int64_t total = 0;
                for (int r = 1; r <= n; ++r) {
                    const auto& p = products_[rng_.Next() % products_.size()];
                    const int qty = rng_.Range(1, 20);
                    const std::int64_t price = p.price * (customer ? 100LL : 62LL);
                    total += qty * price;
                    rows.AddNew();
                    rows.Set("IdOrdine", Long(i));
                    rows.Set("Riga", Short(r));
                    rows.Set("TIPODOC", Text("O"));
                    rows.Set("CodProdotto", Text(p.code));
                    rows.Set("Descrizione", Text(p.name));
                    rows.Set("Quantita", Variant(static_cast<double>(qty)));
                    rows.Set("QtaEvasa", Variant(done ? static_cast<double>(qty) : 0.0));
                    rows.Set("Prezzo", Cents(price));
                    rows.Set("Sconto", Variant::FromSingle(0));
                    rows.Set("DataConsegna", Day(year, i * 14 + 10));
                    rows.Update();
                }
                head.AddNew();
                head.Set("Anno", Short(year));
                head.Set("Numero", Long(i));
                head.Set("Dt", Day(year, i * 14));
                head.Set("TIPODOC", Text("O"));
                head.Set(customer ? "Cliente" : "Fornitore", Text(party.code));
                head.Set("RifCliente",
                         Text(customer && rng_.Chance(50) ? "Vs. ordine " + std::to_string(i * 7) : ""));
                head.Set("DataConsegna", Day(year, i * 14 + 10));
                head.Set("Totale", Cents(total));
                head.Set("Evaso", Variant(done));
                head.Set("Commessa", Text(rng_.Chance(20) ? jobs_[rng_.Next() % jobs_.size()] : ""));
                head.Set("NoteFinali", Text(""));
                head.Update();
            }
        }
    }

    void Attachments() {
        TableWriter w(db_, "ALLEGATI");
        const std::array<const char*, 6> files = {"contratto.pdf",      "preventivo.pdf", "planimetria.png",
                                                  "ordine-firmato.pdf", "visura.pdf",     "foto-merce.jpg"};
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::string content = "%PDF-1.4\n% allegato di esempio " + std::string(files[i]) + "\n";
            while (content.size() < 400 + i * 150)
                content += static_cast<char>(rng_.Range(32, 126));
            std::string print;
            for (int b = 0; b < 16; ++b)
                print += static_cast<char>(rng_.Range(0, 255));
            char guid[40];
            std::snprintf(guid, sizeof guid, "{%08X-%04X-%04X-%04X-%012llX}",
                          static_cast<unsigned>(rng_.Next() & 0xffffffffu),
                          static_cast<unsigned>(rng_.Next() & 0xffff),
                          static_cast<unsigned>(0x4000 | (rng_.Next() & 0x0fff)),
                          static_cast<unsigned>(0x8000 | (rng_.Next() & 0x3fff)),
                          static_cast<unsigned long long>(rng_.Next() & 0xffffffffffffull));
            w.AddNew();
            w.Set("IdAllegato", Text(guid));
            w.Set("Tabella", Text(i % 2 ? "FATTURECLI" : "CLIENTI"));
            w.Set("Chiave", Text(i % 2 ? std::to_string(i) : clients_[i].code));
            w.Set("NomeFile", Text(files[i]));
            w.Set("Contenuto", Variant::FromBinary(content));
            w.Set("Dimensione", Long(static_cast<std::int64_t>(content.size())));
            w.Set("Impronta", Variant::FromBinary(print));
            w.Set("DataIns", Day(spec_.years.back(), static_cast<int>(i) * 40));
            w.Update();
        }
    }

    void PrintQueue() {
        TableWriter w(db_, "TEMPSTAMPA");
        for (int i = 1; i <= 20 && w.Active(); ++i) {
            w.AddNew();
            w.Set("Utente", Text("Utente"));
            w.Set("Riga", Long(i));
            w.Set("Testo", Text("Riga di stampa provvisoria " + std::to_string(i)));
            w.Update();
        }
    }

    // A Null in a field of every type, as older versions left them.
    void Nulls() {
        const char* statements[] = {
            "UPDATE CLIENTI SET Bloccato=Null, Telefono=Null, DataIns=Null, Note=Null, Sconto=Null, "
            "Fido=Null "
            "WHERE Cod='C00001'",
            "UPDATE PAGAMENTI SET NumRate=Null WHERE Cod='BB36'",
            "UPDATE FATTURECLI SET Colli=Null, Iva=Null WHERE ID=1",
            "UPDATE REGISTRIIVA SET UltimoProtocollo=Null WHERE cod='C'",
            "UPDATE ALLEGATI SET IdAllegato=Null WHERE ID=2",
            "UPDATE ALLEGATI SET Impronta=Null WHERE ID=3",
            "UPDATE ALLEGATI SET Contenuto=Null WHERE ID=4",
        };
        for (const char* sql : statements)
            Exec(db_, sql);
        Exec(db_, "UPDATE Prodotti SET ScortaMin=Null, Peso=Null WHERE Cod='" + products_.front().code + "'");
    }

    dao::Database& db_;
    const CompanySpec& spec_;
    Rng rng_;
    std::vector<Party> clients_, suppliers_;
    std::vector<Product> products_;
    std::vector<std::string> jobs_;
    std::vector<Invoice> invoices_;
    std::map<std::tuple<int, std::string, int>, Sums> totals_;
    std::map<int, std::array<int, 4>> protocols_;
    std::int64_t entries_ = 0;
};

} // namespace

std::vector<Invoice> FillAccounting(dao::Database& db, const CompanySpec& spec) {
    return Accounting(db, spec).Run();
}

} // namespace ledrana::mkinstall
