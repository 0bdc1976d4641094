#include "platform/text.h"
#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;

namespace {

class ApreDbTest : public SchemaTest {
protected:
    const std::string prompt = "Ditta: Ditta2000\n E' PROTETTA:  IMPOSTARE LA PASSWORD";
    const Box retry{"La Password immessa è errata: premere SI per ritentare", vbYesNo, kAppTitle};
    const Box impossible{"IMPOSSIBILE COMPLETARE L'AGGIORNAMENTO", vbOKOnly, kAppTitle};

    void SetUp() override {
        w.Command2.caption = "Ditta: Ditta2000";
        MakeDatabase(archive, {{"T", {{"A", dao::dbLong}}}}, {}, "segreta");
        MakeDatabase(model, {{"T", {{"A", dao::dbLong}}}});
    }
    Strings Prompts() const {
        Strings out;
        for (const DialogRecord& r : dialogs.records())
            if (r.kind == DialogRecord::Kind::InputBox) out.push_back(r.text);
        return out;
    }
};

// A wrong password asks to retry before the next input; the right one is remembered for any spelling.
TEST_F(ApreDbTest, EachArchiveIsListedAndAPasswordAskedUntilRightThenRemembered) {
    EXPECT_TRUE(ApreDb(w, model).IsOpen());
    dialogs.QueueInput("sbagliata");
    dialogs.QueueInput("segreta");
    dialogs.QueueAnswer(vbYes);
    ApreDb(w, archive).Close();
    EXPECT_EQ(Prompts(), (Strings{prompt, prompt}));
    EXPECT_EQ(Boxes(), std::vector<Box>{retry});
    EXPECT_TRUE(ApreDb(w, LCase(archive)).IsOpen());
    EXPECT_EQ(Prompts().size(), 2u);
    ASSERT_EQ(w.NumDb, 2);
    EXPECT_EQ(w.NomiDb[1], UCase(model));
    EXPECT_EQ(w.PwdDb[1], "");
    EXPECT_EQ(w.PwdDb[2], "segreta");
}

TEST_F(ApreDbTest, GivingUpAPasswordEndsTheProgram) {
    // A wrong password, and a cancelled input box (the empty password): each time No ends the program, out
    // of the comparison that opened the archive.
    for (const char* typed : {"sbagliata", ""}) {
        SCOPED_TRACE(typed);
        ScriptedDialogs d;
        Aggiorna window{d, kModelFolder};
        window.engine = &engine;
        window.NomeDb1 = model;
        window.NomeDb2 = archive;
        window.File1 = w.File1;
        if (*typed) d.QueueInput(typed);
        d.QueueAnswer(vbNo);
        EXPECT_THROW(Ponteval(window), ProgramEnded);
        EXPECT_TRUE(window.ended());
        EXPECT_EQ(AsBoxes(d), (std::vector<Box>{retry, impossible}));
        EXPECT_EQ(window.PwdDb[2], "");
    }
}

TEST_F(ApreDbTest, NoEngineShowsTheAdviceTwiceAndEnds) {
    w.engine = nullptr;
    EXPECT_THROW(ApreDb(w, model), ProgramEnded);
    const std::vector<Box> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], boxes[1]);
    const std::string start = "File " + model + "Funz. ApreDb: err.429 ";
    const std::string end = "\r\n\r\nSi consiglia di:\r\n- RIAVVIARE IL COMPUTER\r\n- NON ESEGUIRE ALTRE "
                            "APPLICAZIONI E REINSTALLARE TESSARO";
    EXPECT_EQ(boxes[0].text.substr(0, start.size()), start) << boxes[0];
    ASSERT_GT(boxes[0].text.size(), start.size() + end.size());
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - end.size()), end) << boxes[0];
}

TEST_F(ApreDbTest, A201stNameOpensWithoutBeingRemembered) {
    for (int i = 1; i <= Aggiorna::kMaxDb; ++i)
        ApreDb(w, "C:\\ZU\\manca" + std::to_string(i) + ".mdb");
    ASSERT_EQ(w.NumDb, Aggiorna::kMaxDb);
    EXPECT_EQ(w.Text1.text, "");

    dialogs.QueueInput("segreta");
    dialogs.QueueInput("segreta");
    ApreDb(w, archive).Close();
    EXPECT_TRUE(ApreDb(w, archive).IsOpen());
    EXPECT_EQ(Prompts().size(), 2u); // asked each time
    EXPECT_EQ(w.NumDb, Aggiorna::kMaxDb);
    const std::string note =
        "elenco password pieno (200 archivi): la password di " + archive + " non viene ricordata";
    EXPECT_EQ(LogEntries(), (Strings{note, note}));
    // Names already listed keep working as before.
    ApreDb(w, "C:\\ZU\\manca1.mdb");
    EXPECT_EQ(LogEntries().size(), 2u);
}

} // namespace
