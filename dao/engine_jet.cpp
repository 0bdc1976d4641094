// DBEngine's side of the conversion of Jet and ACE files: the archives of this engine as the conversion
// writes and reads them back, and what the engine keeps of the Jet files it met.

#include "dao/engine_jet.h"

#include "dao/handles.h"
#include "dao/jet/jet_file.h"
#include "dao/jet/jet_import.h"

#include <memory>
#include <utility>

namespace ledrana::dao {

namespace {

// A database of this engine as the conversion of a Jet file writes it or reads it back.
class ConvertedDatabase final : public detail::ConvertedArchive {
public:
    explicit ConvertedDatabase(Database db) : db_(std::move(db)) {}
    detail::Connection& C() override { return db_.impl()->C(); }
    bool IsOpen() const override { return db_.IsOpen(); }
    void Close() override { db_.Close(); }
    std::int64_t RecordCount(const std::string& table) override {
        return db_.TableDefs()[table].RecordCount();
    }

private:
    Database db_;
};

// The engine as the conversion of a Jet file uses it.
class ConversionEngine final : public detail::ArchiveEngine {
public:
    ConversionEngine(DBEngine& engine, EngineShared& shared) : engine_(engine), shared_(shared) {}
    std::unique_ptr<detail::ConvertedArchive> CreateDatabase(const std::string& destination,
                                                             const std::string& locale) override {
        return std::make_unique<ConvertedDatabase>(engine_.CreateDatabase(destination, locale));
    }
    std::unique_ptr<detail::ConvertedArchive> OpenDatabase(const std::string& host,
                                                           const std::string& connect) override {
        return std::make_unique<ConvertedDatabase>(engine_.OpenDatabase(host, false, true, connect));
    }
    bool IsOpen(const std::string& host) const override {
        auto it = shared_.open.find(host);
        return it != shared_.open.end() && !it->second.expired();
    }
    std::vector<std::string>& ConversionNotices() override { return shared_.conversionNotices; }
    std::map<std::string, std::string>& JetCopies() override { return shared_.jetCopies; }
    std::string& JetCopyFolder() override { return shared_.jetCopyFolder; }

private:
    DBEngine& engine_;
    EngineShared& shared_;
};

} // namespace

EngineShared::~EngineShared() {
    detail::RemoveJetCopies(jetCopies, jetCopyFolder);
}

std::string detail::OpenableArchive(DBEngine& engine, EngineShared& shared, const std::string& host,
                                    const std::string& shown, const std::string& password, bool readOnly) {
    ConversionEngine conversion(engine, shared);
    return OpenableArchive(conversion, host, shown, password, readOnly);
}

JetImportReport ImportJetFile(DBEngine& engine, const std::string& source, const std::string& destination,
                              const std::string& shownName) {
    ConversionEngine conversion(engine, *engine.shared_);
    return ImportJetFile(conversion, source, destination, shownName);
}

bool IsJetFile(const std::string& host) {
    return jet::LooksLikeJetFile(host);
}

} // namespace ledrana::dao
