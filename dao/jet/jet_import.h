#pragma once
// Conversion of a Jet 3, Jet 4 or ACE file (the Windows engine's databases) into one of our archives.
//
// The archive made holds every local table with its fields (type, size, attributes, Required,
// AllowZeroLength, DefaultValue, validation and the other properties the file keeps), every row with its
// values unchanged, every index, the linked tables as attached tables, the saved queries with their text
// whole and the database password. What our format cannot hold as it is (a Decimal, a query our
// translator cannot run...) is kept in another form and named, one line each, in the report's notes:
// a calculated field keeps its values and its Expression but is no longer computed; the values of an
// attachment, multi-valued or version-history field become the rows of a table of their own, named after
// the table and the field, each with the key of its row. A value that our types hold only in part (a
// Date/Time Extended below the second) is written into the report's journal with its exact text.

#include "dao/jet/jet_import_report.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ledrana::dao {

namespace detail {
struct Connection;

// An archive a conversion writes or reads back, open until Close.
class ConvertedArchive {
public:
    virtual ~ConvertedArchive() = default;
    virtual Connection& C() = 0; // the connection to write through
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0; // commits what was written
    virtual std::int64_t RecordCount(const std::string& table) = 0;
};

// The engine as a conversion uses it: its archives, and what it keeps of the Jet and ACE files it met
// (DBEngine lends one, dao/engine_jet.cpp).
class ArchiveEngine {
public:
    // A new empty archive at a host path; locale may carry ";pwd=PASSWORD". 3204 when the file exists.
    virtual std::unique_ptr<ConvertedArchive> CreateDatabase(const std::string& destination,
                                                             const std::string& locale) = 0;
    // An archive at a host path opened read-only; connect carries ";pwd=PASSWORD".
    virtual std::unique_ptr<ConvertedArchive> OpenDatabase(const std::string& host,
                                                           const std::string& connect) = 0;
    // True when the engine has the file at that host path open as an archive.
    virtual bool IsOpen(const std::string& host) const = 0;
    // The notices of conversions not yet taken by the caller.
    virtual std::vector<std::string>& ConversionNotices() = 0;
    // Jet file (host) -> its converted temporary copy, and the folder of those copies ("" before the first).
    virtual std::map<std::string, std::string>& JetCopies() = 0;
    virtual std::string& JetCopyFolder() = 0;

protected:
    ~ArchiveEngine() = default;
};

// The conversion itself, in the process that calls it (ImportJetFile runs it in a child process of its own).
// `opened` is called once the file and the new archive are open, before anything is read from the file:
// the child gives up its rights there. The new archive keeps its journal in memory: it is nobody's until
// it is checked, and a conversion cut short is removed whole.
JetImportReport ImportHere(ArchiveEngine& engine, const std::string& source, const std::string& destination,
                           const std::string& shownName, const std::function<void()>& opened = {});

// Removes the temporary copies of an engine that goes, and their folder.
void RemoveJetCopies(const std::map<std::string, std::string>& copies, const std::string& folder);
} // namespace detail

// Writes a new archive at the host path `destination` from the Jet or ACE file at the host path `source`,
// which is only read. shownName names the source in error descriptions. Errors: those of jet::File
// (3343, 3049, 3031, 3024) and of CreateDatabase (3204 when destination exists). On failure the partial
// destination is removed. The destination is written without waiting for the disk at each commit: a
// caller that keeps it puts it in place with platform::ReplaceFile, which does.
//
// The file is read in a child process of its own, with a time limit and a memory ceiling that grow with the
// file's size, and, when this process is the superuser, with the rights of the file's owner only (nobody's
// for a file the superuser owns): a file damaged so that the reader dies, never ends or wants more memory
// than a sound file could is 3049 naming it (the destination and its journal removed), and the calling
// process goes on. 3035 when no child process can be started.
JetImportReport ImportJetFile(detail::ArchiveEngine& engine, const std::string& source,
                              const std::string& destination, const std::string& shownName);

// The database password held in the header page of the Jet file at a host path ("" when none).
std::string JetFilePassword(const std::string& source);

namespace detail {
// For DBEngine: the host path to open for the file at `host`. An archive of ours is its own path; a Jet or
// ACE file is converted first (see DBEngine::TakeConversionNotices) after its password has been checked
// (3031) and after it was found in use by nobody (3045, as CheckArchiveForChange; Jet's lock file left by a
// crash is named in the notice). It is converted in place when it can be changed and the opening is not
// read-only, otherwise into a temporary copy. shown is the path as the caller gave it.
std::string OpenableArchive(ArchiveEngine& engine, const std::string& host, const std::string& shown,
                            const std::string& password, bool readOnly);

// For DBEngine::Reserve, before an archive is taken for the changes of a run: 3045 for a Jet or ACE file
// that someone else has open (locks on it or on Jet's lock file beside it; the description names the
// computers of the lock file), 3051 for a file that cannot be changed and replaced in its place (read-only,
// immutable, refused to this user, or in a folder that takes no new files). A Jet file could then only be
// read through a temporary copy, and nothing the run did would reach it.
void CheckArchiveForChange(const std::string& host, const std::string& shown);
} // namespace detail

} // namespace ledrana::dao
