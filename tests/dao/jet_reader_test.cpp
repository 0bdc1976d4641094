// The reader of Jet files in its child process runs with less than the program: as the file's owner when
// the program is the superuser (nobody for the superuser's own files, which the reader has opened before),
// under a memory ceiling whose breach is a numbered error the program goes on after.

#include "dao/dao.h"
#include "jet_corpus.h"
#include "platform/child.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace ledrana::dao::testing {
namespace {

namespace fs = std::filesystem;

class JetReader : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        fs::permissions(Path(""), fs::perms(0755)); // the reader, another user, reaches what it is told to
    }
    void TearDown() override {
        platform::SetChildObserver({});
        DaoTest::TearDown();
    }
    // A corpus file as the accounting archive, readable by its owner only.
    std::string Archive(uid_t owner, gid_t group) {
        const std::string file = Path("Cont32.mdb");
        fs::remove(file);
        fs::copy_file(kCorpus / "testV2000.mdb", file);
        fs::permissions(file, fs::perms(0600));
        EXPECT_EQ(chown(file.c_str(), owner, group), 0);
        return file;
    }
};

TEST_F(JetReader, ReadsAsTheFilesOwnerNobodyForTheSuperusers) {
    const bool root = geteuid() == 0;
    const struct passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const std::string seen = Path("visto.txt");
    platform::SetChildObserver([&] { std::ofstream(seen) << geteuid() << ":" << getegid(); });
    const struct {
        uid_t owner, group, reader, readerGroup;
    } cases[] = {{4242, 4243, 4242, 4243}, {0, 0, nobody->pw_uid, nobody->pw_gid}};
    for (const auto& c : cases) {
        std::ofstream{seen}; // the reader may write it, whoever it is
        fs::permissions(seen, fs::perms(0666));
        const std::string file = Archive(root ? c.owner : geteuid(), root ? c.group : getegid());
        EXPECT_FALSE(ImportJetFile(engine_, file, Path("conv.mdb"), "Cont32.mdb").tables.empty());
        EXPECT_EQ(Bytes(seen), std::to_string(root ? c.reader : geteuid()) + ":" +
                                   std::to_string(root ? c.readerGroup : getegid()));
        fs::remove(Path("conv.mdb"));
    }
}

TEST_F(JetReader, AReaderBeyondItsMemoryIsANumberedErrorAndTheProgramGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator ends the process itself when memory is refused";
#endif
    const std::string file = Archive(geteuid(), getegid());
    platform::SetChildObserver([] {
        const auto block = std::make_unique_for_overwrite<char[]>(std::size_t{16} << 30);
        block[0] = 'x';
        (void)*static_cast<volatile char*>(&block[0]); // in use: the allocation is not left out
    });
    EXPECT_EQ(Failure([&] { ImportJetFile(engine_, file, Path("conv.mdb"), "Cont32.mdb"); }),
              "3049 Il database 'Cont32.mdb' è danneggiato: la lettura ha superato la memoria che le è "
              "concessa (256 MB).");
    EXPECT_FALSE(fs::exists(Path("conv.mdb")));
    platform::SetChildObserver({});
    EXPECT_FALSE(ImportJetFile(engine_, file, Path("conv.mdb"), "Cont32.mdb").tables.empty());
}

} // namespace
} // namespace ledrana::dao::testing
