#include "platform/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace ledrana;

// A rule answers before the queue, for message and input boxes alike; the browser without a queued folder
// is cancelled. The queues taken front first, the default buttons, Clear and the observer are those every
// scripted suite relies on (PontevalTest.VerificaAsks..., BatchDialogs, Campi.QuestionShows..., Esegui).
TEST(ScriptedDialogs, RulesComeBeforeTheQueue) {
    ScriptedDialogs d;
    d.QueueAnswer(vbNo);
    d.QueueInput("altra");
    d.AnswerWhenContains("non è attualmente disponibile", vbYes);
    d.InputWhenContains("CONT32", "segreta");
    EXPECT_EQ(d.MsgBox("La cartella X non è attualmente disponibile", 260, ""), vbYes);
    EXPECT_EQ(d.InputBox("password di C:\\ZU\\CONT32.MDB", ""), "segreta");
    EXPECT_EQ(d.pending(), 2u);
    EXPECT_EQ(d.BrowseForFolder("Selezionare una cartella:"), std::nullopt);
    EXPECT_TRUE(d.records().back().cancelled);
    EXPECT_EQ(d.records().size(), 3u);
}
