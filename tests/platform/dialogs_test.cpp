#include "platform/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace ledrana;

TEST(ScriptedDialogs, RulesComeBeforeTheQueue) {
    ScriptedDialogs d;
    d.QueueAnswer(vbNo);
    d.QueueAnswer(vbYes);
    d.AnswerWhenContains("non è attualmente disponibile", vbYes);
    EXPECT_EQ(d.MsgBox("La cartella X non è attualmente disponibile", 260, ""), vbYes); // rule
    EXPECT_EQ(d.MsgBox("ELIMINO ?", 4, "Confr_VerificaFieldInPiuSuSecondoDB"), vbNo);   // queue, front first
    EXPECT_EQ(d.pending(), 1u);
    EXPECT_EQ(d.MsgBox("ELIMINO ?", 292, ""), vbYes);
    EXPECT_EQ(d.MsgBox("ELIMINO ?", 292, ""), vbNo); // queue empty: default
    EXPECT_EQ(d.records()[1].title, "Confr_VerificaFieldInPiuSuSecondoDB");
    EXPECT_EQ(d.records()[1].answer, vbNo);
    d.Clear();
    EXPECT_EQ(d.MsgBox("La cartella X non è attualmente disponibile", 260, ""), vbNo);
    EXPECT_EQ(d.messageBoxes().size(), 5u);
}

TEST(ScriptedDialogs, InputBoxesAndFolderBrowser) {
    ScriptedDialogs d;
    std::vector<std::string> seen;
    d.SetObserver([&](const DialogRecord& r) { seen.push_back(r.text); });
    d.InputWhenContains("CONT32", "segreta");
    d.QueueInput("altra");
    EXPECT_EQ(d.InputBox("password di C:\\ZU\\CONT32.MDB", ""), "segreta");
    EXPECT_EQ(d.InputBox("password di C:\\ZU\\SCAD32.MDB", "Titolo"), "altra");
    EXPECT_EQ(d.InputBox("password", ""), "");
    EXPECT_TRUE(d.records()[2].cancelled);
    EXPECT_TRUE(d.records()[2].inputBox);
    EXPECT_EQ(d.records()[1].title, "Titolo");
    EXPECT_EQ(d.records()[0].title, "AggiornaLedrana");

    d.QueueFolder(std::string("Z:\\srv\\dati"));
    EXPECT_EQ(d.BrowseForFolder("Selezionare una cartella:"), std::optional<std::string>("Z:\\srv\\dati"));
    EXPECT_EQ(d.BrowseForFolder("Selezionare una cartella:"), std::nullopt);
    EXPECT_TRUE(d.records().back().cancelled);
    EXPECT_TRUE(d.messageBoxes().empty());
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0], "password di C:\\ZU\\CONT32.MDB");
}
