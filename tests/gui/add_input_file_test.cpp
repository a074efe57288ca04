// "Data File Open" in the window: the boxes it reads, its failure box, cancelling, the tenth
// file and clicks while the chooser is open. What an addition reads and how it fails is in the
// engine's tests and the table of bad inputs.
#include "form1_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

using namespace mergon;

TEST_F(Form1Fixture, AddingAFileTakesTheBoxesAsTheyStandAndShowsIt) {
    const std::vector<std::pair<double, double>> rows{{1.5, 10}, {2.5, 12.5}, {3.5, 11}, {4, -2}};
    const std::string a = writeCurve("a.txt", rows);
    add(a);
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    const Session &s = form->session();
    EXPECT_EQ(std::tuple(status().toStdString(), form->Text2[1]->text().toStdString(),
                         form->Text2[0]->text().toStdString(), s.outputFileName, buttonStates()),
              std::tuple("File 1", a, path("a.mrg"), path("a.mrg"), "1011"));

    form->Text6->setText("2");
    form->Text8[2]->setText("3");
    add(writeCurve("b.txt", rows));
    // x up to 4 * 2; y up to 12.5 * 3. Only the first file names the output.
    EXPECT_EQ(std::tuple(s.curves[1].xCoefficient, s.curves[1].yWeight, s.curves[0].xCoefficient,
                         s.plotXMax, s.plotYMax),
              std::tuple(2.0f, 3.0f, 1.0f, 8.0f, 37.5f));
    EXPECT_EQ(std::tuple(status().toStdString(), s.outputFileName, buttonStates()),
              std::tuple("File 2", path("a.mrg"), "1111"));
}

// The real warning box; while it shows, the status is already empty. The file keeps its slot.
TEST(Form1Failure, ShowsTheWarningBoxEmptiesTheStatusAndKeepsTheSlot) {
    TempDir dir;
    const std::string bad = dir.write("bad.txt", "h\r\nh\r\nh\r\n1 2 3 4 5 six\r\n");
    Form1 form;
    form.setChooser([&] { return std::optional(bad); });
    QStringList shown;
    QTimer::singleShot(0, &form, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown << box->windowTitle() << box->text() << QString::number(box->icon())
                  << QString::number(box->buttons().size()) << form.Text1->text();
            box->accept();
        }
    });
    form.Command2->click();
    EXPECT_EQ(shown.join('|').toStdString(),
              "Error|This file includes error data or you may mistake column or skip indication. "
              "(13)|" +
                  std::to_string(QMessageBox::Warning) + "|1|");
    const Session &s = form.session();
    EXPECT_EQ(std::tuple(s.fileCount(), s.curves[0].fileName, form.Text2[1]->text().toStdString(),
                         form.Text1->text().toStdString()),
              std::tuple(1, bad, bad, ""));
}

TEST_F(Form1Fixture, CancellingGivesTheSlotBackAndEmptiesOnlyTheChosenName) {
    loadTwoLines();
    Session expected = form->session();
    expected.chosenFileName.clear();
    add(""); // cancel
    EXPECT_TRUE(form->session() == expected);
    EXPECT_EQ(std::tuple(status().toStdString(), buttonStates()), std::tuple("File 2", "1111"));

    form->Command3->click();
    add("");
    // A cancelled choice changes no button.
    EXPECT_EQ(std::tuple(status().toStdString(), form->session().fileCount(), buttonStates()),
              std::tuple("File 0", 0, "1001"));
}

TEST_F(Form1Fixture, TenthAdditionDisablesOpenAtOnceEvenWhenCancelled) {
    const std::string a = writeCurve("a.txt", {{0, 0}, {1, 1}});
    for (int i = 0; i < 9; ++i)
        add(a);
    ASSERT_EQ(form->session().fileCount(), 9);
    EXPECT_TRUE(form->Command2->isEnabled());

    bool disabledWhileChoosing = false;
    form->setChooser([&]() -> std::optional<std::string> {
        disabledWhileChoosing = !form->Command2->isEnabled();
        return std::nullopt;
    });
    form->Command2->click();
    form->Command2->click(); // disabled: nothing happens
    EXPECT_EQ(std::tuple(disabledWhileChoosing, form->session().fileCount(), status().toStdString(),
                         form->Command2->isEnabled()),
              std::tuple(true, 9, "File 9", false));
    form->Command3->click();
    EXPECT_TRUE(form->Command2->isEnabled());
}
