// The conversion of a Jet or ACE file in a child process of its own, which writes the new archive and
// sends back its report or the error it ended with.

#include "dao/jet/jet_import.h"

#include "dao/store/internal.h"
#include "platform/child.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace ledrana::dao {

using namespace detail;

namespace {

// ---- The reader's own process -----------------------------------------------------------------------------
//
// libmdb trusts the page pointers of the file it reads: a damaged file can make it read outside its buffers
// and die, or follow a page chain for ever. The conversion therefore runs in a child process, which writes
// the new archive and sends back its report (or the error it ended with); the caller only ever sees a report
// or an error with Jet's number.

// How long the reader may take over a file of `bytes`: far beyond what a sound file needs on a slow share.
std::chrono::seconds ReaderTimeLimit(std::int64_t bytes) {
    return std::chrono::seconds(30 + bytes / (1 << 20));
}

// How much memory the reader may take over a file of `bytes`. The rows are read and written one at a
// time, so a sound file needs far less than this; a damaged one that makes the reader loop or believe in
// huge lengths meets the ceiling instead of the machine's memory.
std::uint64_t ReaderMemory(std::int64_t bytes) {
    return std::max<std::uint64_t>(std::uint64_t{256} << 20, 8 * static_cast<std::uint64_t>(bytes));
}

// The reader's answer on its pipe: 'R' and the report, or 'E', the error's number and description.
class Message {
public:
    Message() = default;
    explicit Message(const std::string& bytes) : bytes_(bytes) {}
    const std::string& bytes() const { return bytes_; }

    void PutInt(std::int64_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void PutText(const std::string& t) {
        PutInt(static_cast<std::int64_t>(t.size()));
        bytes_ += t;
    }
    std::int64_t Int() {
        std::int64_t v = 0;
        if (!Has(sizeof v)) return 0;
        std::memcpy(&v, bytes_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string Text() {
        const std::int64_t n = Int();
        if (n < 0 || !Has(static_cast<std::size_t>(n))) return {};
        std::string t = bytes_.substr(at_, static_cast<std::size_t>(n));
        at_ += static_cast<std::size_t>(n);
        return t;
    }
    // True when everything read so far was there and nothing is left.
    bool Whole() const { return ok_ && at_ == bytes_.size(); }

private:
    bool Has(std::size_t n) {
        ok_ = ok_ && bytes_.size() - at_ >= n;
        return ok_;
    }
    std::string bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

Message ReportMessage(const JetImportReport& r) {
    Message m;
    m.PutInt('R');
    m.PutInt(static_cast<std::int64_t>(r.tables.size()));
    for (const auto& t : r.tables) {
        m.PutText(t.name);
        m.PutInt(t.rows);
    }
    m.PutInt(static_cast<std::int64_t>(r.notes.size()));
    for (const auto& n : r.notes)
        m.PutText(n);
    m.PutInt(static_cast<std::int64_t>(r.journal.size()));
    for (const auto& j : r.journal)
        for (const std::string* t : {&j.table, &j.key, &j.field, &j.text})
            m.PutText(*t);
    m.PutInt(r.queries);
    m.PutInt(r.password ? 1 : 0);
    return m;
}

Message ErrorMessage(int number, const std::string& description) {
    Message m;
    m.PutInt('E');
    m.PutInt(number);
    m.PutText(description);
    return m;
}

// The reader's work in its child process: the conversion, and its report or error as a message. Once the
// file and the new archive are open it goes on as the file's owner (platform::ReaderOf); an error met before
// is answered with no more rights either.
std::string ReadInChild(ArchiveEngine& engine, const std::string& source, const std::string& destination,
                        const std::string& shownName) {
    Message answer;
    try {
        answer =
            ReportMessage(ImportHere(engine, source, destination, shownName, platform::LowerChildRights));
    } catch (const std::bad_alloc&) {
        throw; // the memory ceiling: the child ends as out of memory
    } catch (const Error& e) {
        // What the archive being built refuses (a name, a definition) says nothing of the file it came from.
        answer = ErrorMessage(e.number(), e.description().find(shownName) != std::string::npos
                                              ? e.description()
                                              : "Il database '" + shownName +
                                                    "' non è stato convertito: " + e.description());
    } catch (const std::exception& e) {
        answer = ErrorMessage(3049, "Il database '" + shownName +
                                        "' è danneggiato: la lettura si è interrotta (" + e.what() + ").");
    }
    platform::LowerChildRights();
    return answer.bytes();
}

// Removes a file that may not be there.
void RemoveIfPresent(const std::string& host) {
    const std::string win = platform::WindowsPath(host);
    try {
        if (platform::FileExists(win)) platform::Kill(win);
    } catch (const Error&) {
    }
}

} // namespace

JetImportReport ImportJetFile(ArchiveEngine& engine, const std::string& source,
                              const std::string& destination, const std::string& shownName) {
    std::int64_t size = 0;
    try {
        size = platform::FileLen(platform::WindowsPath(source));
    } catch (const Error&) {
        // Missing or unreadable: the reader says which, with Jet's number.
    }
    // Whatever stands at the destination after a reader that died is the reader's own.
    if (platform::FileExists(platform::WindowsPath(destination))) ThrowJet(3204, destination);
    const std::chrono::seconds limit = ReaderTimeLimit(size);
    platform::ChildLimits rights = platform::ReaderOf(source);
    rights.memory = ReaderMemory(size);
    const platform::ChildOutcome child = platform::RunInChild(
        [&] { return ReadInChild(engine, source, destination, shownName); }, limit, rights);
    using End = platform::ChildOutcome::End;
    if (child.end == End::NotStarted)
        throw Error(3035,
                    "Risorse di sistema esaurite: impossibile leggere il database '" + shownName + "'.");
    Message m(child.answer);
    const std::int64_t kind = m.Int();
    if (kind == 'R') {
        JetImportReport report;
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n) {
            std::string name = m.Text();
            report.tables.push_back({std::move(name), m.Int()});
        }
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n)
            report.notes.push_back(m.Text());
        for (std::int64_t n = m.Int(); n > 0 && n <= (1 << 24); --n) {
            JetImportReport::JournalEntry j;
            for (std::string* t : {&j.table, &j.key, &j.field, &j.text})
                *t = m.Text();
            report.journal.push_back(std::move(j));
        }
        report.queries = static_cast<int>(m.Int());
        report.password = m.Int() != 0;
        if (m.Whole()) return report;
    } else if (kind == 'E') {
        // What the reader wrote is removed here: with its lower rights it may not have removed it itself.
        const int number = static_cast<int>(m.Int());
        std::string description = m.Text();
        if (m.Whole()) {
            RemoveIfPresent(destination);
            throw Error(number, description);
        }
    }
    // A reader that died or was stopped left its work file, and the journal of its last transaction.
    if (platform::FileExists(platform::WindowsPath(destination))) {
        RemoveIfPresent(destination + "-journal");
        RemoveIfPresent(destination);
    }
    const std::string what =
        child.end == End::TimedOut
            ? "la lettura non è terminata entro " + std::to_string(limit.count()) + " secondi"
        : child.end == End::OutOfMemory ? "la lettura ha superato la memoria che le è concessa (" +
                                              std::to_string(rights.memory >> 20) + " MB)"
        : child.end == End::Signalled
            ? "la lettura si è interrotta (segnale " + std::to_string(child.signal) + ")"
            : std::string("la lettura si è interrotta senza una risposta completa");
    throw Error(3049, "Il database '" + shownName + "' è danneggiato: " + what + ".");
}

} // namespace ledrana::dao
