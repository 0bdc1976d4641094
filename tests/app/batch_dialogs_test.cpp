// The answers file of unattended runs: order, rules, kinds, defaults, and the way every run ends.

#include "app/batch_dialogs.h"

#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

using namespace ledrana;

TEST(BatchDialogs, OrderedAnswersRulesAndDefaults) {
    BatchDialogs d;
    d.Load(
        "# risposte\r\nNo\n\nif Ditta: Beta -> text:se greto \nYes\ntext:  due blank\nif proseguo -> No\n");

    EXPECT_EQ(d.MsgBox("ATTENZIONE\nproseguo ?", 260, ""), vbNo);         // rule first, queue untouched
    EXPECT_EQ(d.MsgBox("Aprire il programma adesso", vbYesNo, ""), vbNo); // queue: No
    EXPECT_EQ(d.InputBox("Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD", ""), "se greto");
    // The queue's front is Yes, which does not fit an input box: the box is cancelled, the Yes stays.
    EXPECT_EQ(d.InputBox("Ditta: Alfa\n E' PROTETTA:  IMPOSTARE LA PASSWORD", ""), "");
    EXPECT_EQ(d.MsgBox("La Password immessa è errata: premere SI per ritentare", vbYesNo, ""), vbYes);
    EXPECT_EQ(d.InputBox("Ditta: Alfa\n E' PROTETTA:  IMPOSTARE LA PASSWORD", ""), "  due blank");
    // Nothing left: default buttons.
    EXPECT_EQ(d.MsgBox("x", 292, "T"), vbNo);
    EXPECT_EQ(d.MsgBox("x", vbYesNo, ""), vbYes);
    EXPECT_EQ(d.MsgBox("x", vbInformation, ""), vbOK);

    ASSERT_EQ(d.boxes().size(), 9u);
    EXPECT_EQ(d.boxes()[0].title, "AggiornaLedrana");
    EXPECT_EQ(d.boxes()[6].title, "T");
    EXPECT_EQ(BatchDialogs::ToJson(d.boxes()[0]),
              "{\"title\": \"AggiornaLedrana\", \"style\": 260, \"text\": \"ATTENZIONE\\nproseguo ?\", "
              "\"answer\": \"No\"}");
    EXPECT_EQ(BatchDialogs::ToLine(d.boxes()[2]).find("greto"), std::string::npos);
    EXPECT_EQ(
        BatchDialogs::ToJson(d.boxes()[2]),
        "{\"title\": \"AggiornaLedrana\", \"style\": 0, \"text\": \"Ditta: Beta\\n E' PROTETTA:  IMPOSTARE "
        "LA PASSWORD\", \"answer\": \"***\", \"input\": true}");
}

TEST(BatchDialogs, AGivenUpPasswordEndsTheRun) {
    BatchDialogs d; // no answers at all
    EXPECT_EQ(d.InputBox("Ditta: Alfa\n E' PROTETTA:  IMPOSTARE LA PASSWORD", ""), "");
    // The retry question after a cancelled input box is No, not its default Yes.
    EXPECT_EQ(d.MsgBox("La Password immessa è errata: premere SI per ritentare", vbYesNo, ""), vbNo);
    EXPECT_EQ(d.MsgBox("IMPOSSIBILE COMPLETARE L'AGGIORNAMENTO", vbOKOnly, ""), vbOK);
    EXPECT_EQ(d.MsgBox("un'altra domanda", vbYesNo, ""), vbYes);
}

TEST(BatchDialogs, LinesThatCannotBeReadAreRefused) {
    for (const char* bad : {"Forse\n", "if  -> Yes\n", "if Ditta -> Boh\n", "OK\nyes\n"}) {
        BatchDialogs d;
        const std::string failure = ledrana::testing::Failure([&] { d.Load(bad); });
        EXPECT_EQ(failure.rfind("5 ", 0), 0u) << bad;
        EXPECT_NE(failure.find("riga"), std::string::npos) << failure;
    }
}
