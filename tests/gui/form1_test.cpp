// The main window: start state, "Clear", layout, tab order, "Exit".
#include "form1_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include <limits>

#include "ui/placement.h"

using namespace mergon;

const QString kStartWeights = QStringList(10, "1.0").join('|');
const QString kEmptyFileBoxes = QStringList(11, "").join('|');

TEST_F(Form1Fixture, StartsWithDefaultSettingsAndOnlyOpenAndExitEnabled) {
    EXPECT_EQ(form->windowTitle(), "Mergon");
    const QStringList settings = {form->Text4->text(), form->Text5->text(), form->Text10->text(),
                                  form->Text6->text(), form->Text7->text(), form->Text3->text()};
    EXPECT_EQ(settings, QStringList({"5", "6", "3", "1", "1", "100"}));
    EXPECT_TRUE(status().isEmpty());
    EXPECT_EQ(weightBoxes(), kStartWeights);
    EXPECT_EQ(fileBoxes(), kEmptyFileBoxes);
    EXPECT_EQ(buttonStates(), "1001");
    EXPECT_FALSE(form->Text1->isEnabled());
    EXPECT_FALSE(form->Picture1->isEnabled());

    const Session &s = form->session();
    // Running minima start at plus infinity and maxima at minus infinity: no value yet.
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(resetValues(s), std::tuple(int16_t{0}, std::string(), inf, -inf, inf, -inf, -inf,
                                         inf, std::string(), int16_t{0}, inf, -inf, 1.0f));
    EXPECT_EQ(std::tuple(s.chosenFileName, s.divisionCount, s.xStep),
              std::tuple(std::string(), int16_t{0}, 0.0f));
}

TEST_F(Form1Fixture, ClearRestoresStartValuesAndKeepsTypedSettings) {
    Session &s = form->session();
    for (int k : {1, 10}) {
        s.fileNames[k] = "/lab/run.txt";
        form->Text2[k]->setText("/lab/run.txt");
        form->Text8[k]->setText("2.5");
        s.lineCount[k] = 4;
        s.fileXMin[k] = 1;
    }
    s.fileCount = 10;
    s.outputFileName = "/lab/run1.mrg";
    form->Text2[0]->setText("/lab/run1.mrg");
    s.plotXMin = s.commonXMin = 1;
    s.chosenFileName = "/lab/run10.txt";
    s.divisionCount = 50;
    s.xStep = 0.16f;
    form->Text1->setText("Finish");
    const std::vector<QLineEdit *> settings = {form->Text4, form->Text6, form->Text5,
                                               form->Text7, form->Text10, form->Text3};
    for (QLineEdit *box : settings)
        box->setText("7");
    form->Command1->setEnabled(true);
    form->Command3->setEnabled(true);
    form->Command2->setEnabled(false);
    form->Picture1->canvas().line(0, 0, 1000, 1000, Qt::black);

    form->Command3->click();

    EXPECT_TRUE(status().isEmpty());
    EXPECT_EQ(weightBoxes(), kStartWeights);
    EXPECT_EQ(fileBoxes(), kEmptyFileBoxes);
    EXPECT_EQ(resetValues(s), startValues());
    // Left alone by "Clear".
    EXPECT_EQ(std::tuple(s.chosenFileName, s.divisionCount, s.xStep),
              std::tuple(std::string("/lab/run10.txt"), int16_t{50}, 0.16f));
    for (QLineEdit *box : settings)
        EXPECT_EQ(box->text(), "7") << box->objectName().toStdString();
    EXPECT_EQ(buttonStates(), "1001");
    const QImage &image = form->Picture1->canvas().image();
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}

TEST_F(Form1Fixture, ControlsStandAtTheirLayoutPositions) {
    EXPECT_EQ(form->size(), QSize(504, 487));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // fixed size
    struct Place {
        const char *name;
        QRect rect;
    } places[] = {
        {"Command2", {16, 16, 105, 25}},   {"Command1", {128, 16, 105, 25}},
        {"Command3", {368, 16, 57, 25}},   {"Command4", {432, 16, 57, 25}},
        {"Text1", {240, 16, 121, 25}},     {"Text4", {24, 88, 49, 19}},
        {"Text3", {24, 240, 121, 19}},     {"Text2(0)", {136, 276, 289, 19}},
        {"Text2(10)", {136, 440, 297, 15}}, {"Text8(1)", {432, 296, 49, 18}},
        {"Picture1", {160, 48, 329, 217}}, {"Shape3", {16, 48, 137, 161}},
        {"Label14", {16, 272, 473, 193}},  {"Label19", {56, 440, 73, 17}},
        {"Label22", {16, 464, 473, 17}},
    };
    for (const Place &p : places) {
        auto *w = form->findChild<QWidget *>(p.name);
        ASSERT_NE(w, nullptr) << p.name;
        EXPECT_EQ(w->geometry(), p.rect) << p.name;
    }
    EXPECT_EQ(form->findChild<QLabel *>("Label19")->text(), "input file10");
    EXPECT_EQ(form->findChild<QLabel *>("Label3")->text(), "input file01");
    EXPECT_EQ(form->findChild<QLabel *>("Label21")->text(), "y : k(i)");
    EXPECT_TRUE(form->Text1->font().bold());
    EXPECT_TRUE(form->Text2[4]->font().italic());
    EXPECT_EQ(form->Text4->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    // Every control that takes input carries a name for assistive technology.
    for (auto *w : form->findChildren<QWidget *>()) {
        if (w->focusPolicy() != Qt::NoFocus && !w->objectName().isEmpty() &&
            !w->objectName().startsWith("qt_")) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
}

TEST_F(Form1Fixture, TabVisitsTheControlsInOrderAndSkipsFileRowsAndDisabledButtons) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Command2->setFocus();
    std::vector<QString> seen;
    for (int i = 0; i < 20; ++i) {
        seen.push_back(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    std::vector<QString> expected = {"Command2", "Command4", "Text4",    "Text6",    "Text5",
                                     "Text7",    "Text10",   "Text3",    "Text2(0)", "Text8(1)",
                                     "Text8(2)", "Text8(3)", "Text8(4)", "Text8(5)", "Text8(6)",
                                     "Text8(7)", "Text8(8)", "Text8(9)", "Text8(10)", "Command2"};
    EXPECT_EQ(seen, expected);

    // Enabled buttons take their places in the order again.
    form->Command1->setEnabled(true);
    form->Command3->setEnabled(true);
    form->Command2->setFocus();
    QTest::keyClick(form->Command2, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Command1);
    form->Text2[0]->setFocus();
    QTest::keyClick(form->Text2[0], Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Command3);
}

TEST_F(Form1Fixture, LoadStepCentresInSinglePrecisionWithoutClamping) {
    QPointF p = ui::centredTopLeftTwips({28800, 16200}, {7680, 7800});
    EXPECT_EQ(p, QPointF(10560, 4200));
    // A screen smaller than the window puts the corner off the screen.
    QPointF off = ui::centredTopLeftTwips({4800, 3600}, {7680, 7800});
    EXPECT_EQ(off, QPointF(-1440, -2100));
    // Odd sizes are halved in float, not in integers.
    EXPECT_EQ(ui::centredTopLeftTwips({15, 15}, {0, 0}), QPointF(7.5, 7.5));
}

TEST_F(Form1Fixture, ExitClosesFilesAndEndsAlsoWhenTheWindowIsClosed) {
    form->show();
    form->Command4->click();
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(endedDuringCommand);
    EXPECT_FALSE(form->isVisible());

    form->show();
    form->close();
    EXPECT_EQ(programEnds, 2);
}
