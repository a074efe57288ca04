#include "workbench/form1.h"

#include "chooser/frm_open_save.h"
#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "ui/fonts.h"
#include "ui/placement.h"
#include "workbench/command_guard.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cstdlib>

namespace mergon {

namespace {

const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);

} // namespace

Form1::Form1(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Mergon"));
    setWindowIcon(ui::programIcon());
    setFont(ui::windowFont());
    setFixedSize(ui::px(7560), ui::px(7305));

    // Creation order is stacking order: rectangles and labels below boxes, buttons and graph.
    createSettingGroups();
    createFileRows();
    createButtons();
    Picture1 = new GraphPanel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("Graph"));
    Picture1->move(ui::px(2400), ui::px(720)); // the panel has its own size
    Picture1->setEnabled(false);
    Picture1->setFocusPolicy(Qt::NoFocus);
    setTabOrder();
    createGraphMenu();
    setAcceptDrops(true);

    chooseFile_ = [this] {
        frmOpenSave dialog(this);
        dialog.setWindowTitle(QStringLiteral("Data File Open"));
        dialog.nameBox()->setText(QStringLiteral("*.txt"));
        dialog.nameBox()->setSelection(0, 5);
        dialog.exec();
        return dialog.answer();
    };
    showMessage_ = [this](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        box.exec();
    };
    endProgram_ = [](bool duringCommand) {
        // Inside a command the program ends here and now: no handler runs any further.
        if (duringCommand)
            std::_Exit(0);
        QCoreApplication::exit(0);
    };

    loadStep();
}

Form1::~Form1() { file_.closeAll(); }

void Form1::createButtons() {
    struct ButtonRow {
        QPushButton **button;
        const char *name;
        const char *caption;
        int left, width;
        bool enabled;
        void (Form1::*action)();
    } buttons[] = {
        {&Command2, "Command2", "Data File Open", 240, 1575, true, &Form1::addInputFile},
        {&Command1, "Command1", "Write to File", 1920, 1575, false, &Form1::writeMeanCurve},
        {&Command3, "Command3", "Clear", 5520, 855, false, &Form1::clearSession},
        {&Command4, "Command4", "Exit", 6480, 855, true, &Form1::exitProgram},
    };
    for (const ButtonRow &row : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(row.caption), this);
        button->setObjectName(QString::fromUtf8(row.name));
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
        ui::placeInTwips(button, row.left, 240, row.width, 375);
        button->setEnabled(row.enabled);
        connect(button, &QPushButton::clicked, this, row.action);
        *row.button = button;
    }

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Status"));
    ui::placeInTwips(Text1, 3600, 240, 1815, 375);
    QFont bold = font();
    bold.setBold(true);
    Text1->setFont(bold);
    QPalette status = Text1->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        status.setColor(group, QPalette::Text, kRed);
    Text1->setPalette(status);
    Text1->setEnabled(false);
}

// A fixed caption: white text on the grey of the window's panels.
QLabel *Form1::greyLabel(const QString &name, const QString &text, Qt::Alignment alignment,
                         const QRect &twips) {
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAlignment(alignment);
    label->setAutoFillBackground(true);
    QPalette grey = label->palette();
    grey.setColor(QPalette::Window, kGrey);
    grey.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(grey);
    ui::placeInTwips(label, twips.left(), twips.top(), twips.width(), twips.height());
    return label;
}

void Form1::createSettingGroups() {
    auto rectangle = [this](const char *name, int left, int top, int width, int height) {
        auto *shape = new QFrame(this);
        shape->setObjectName(QString::fromUtf8(name));
        shape->setFrameStyle(QFrame::Box | QFrame::Plain);
        shape->setAutoFillBackground(true);
        QPalette p = shape->palette();
        p.setColor(QPalette::Window, kSilver);
        shape->setPalette(p);
        ui::placeInTwips(shape, left, top, width, height);
    };
    rectangle("Shape3", 240, 720, 2055, 2415);
    rectangle("Shape1", 240, 3240, 2055, 735);

    // "Data file": the grey panel behind the file rows, its caption in the top-left corner.
    greyLabel(QStringLiteral("Label14"), QStringLiteral("Data file"), Qt::AlignLeft | Qt::AlignTop,
              {240, 4080, 7095, 2895});

    struct Caption {
        const char *name, *text;
        int left, top, width;
        bool bold;
    } captions[] = {
        {"Label5", "X-axis", 360, 840, 1815, true},
        {"Label4", "column", 360, 1080, 735, false},
        {"Label8", "coefficient", 1080, 1080, 1095, false},
        {"Label6", "Y-axis", 360, 1680, 1815, true},
        {"Label7", "column", 360, 1920, 735, false},
        {"Label9", "coefficient", 1080, 1920, 1095, false},
        {"Label12", "Skip line", 360, 2520, 1815, true},
        {"Label20", "Division", 360, 3360, 1815, true},
    };
    for (const Caption &c : captions) {
        QLabel *label = greyLabel(QString::fromUtf8(c.name), QString::fromUtf8(c.text),
                                  Qt::AlignCenter, {c.left, c.top, c.width, 255});
        if (c.bold) {
            QFont f = font();
            f.setBold(true);
            label->setFont(f);
        }
    }

    struct Box {
        QLineEdit **box;
        const char *name, *accessible;
        int left, top, width;
    } boxes[] = {
        {&Text4, "Text4", "X-axis column", 360, 1320, 735},
        {&Text6, "Text6", "X-axis coefficient", 1080, 1320, 1095},
        {&Text5, "Text5", "Y-axis column", 360, 2160, 735},
        {&Text7, "Text7", "Y-axis coefficient", 1080, 2160, 1095},
        {&Text10, "Text10", "Skip line", 360, 2760, 1815},
        {&Text3, "Text3", "Division", 360, 3600, 1815},
    };
    for (const Box &b : boxes) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromUtf8(b.name));
        box->setAccessibleName(QString::fromUtf8(b.accessible));
        box->setAlignment(Qt::AlignRight);
        ui::placeInTwips(box, b.left, b.top, b.width, 285);
        *b.box = box;
    }
}

void Form1::createFileRows() {
    greyLabel(QStringLiteral("Label1"), QStringLiteral("output file"),
              Qt::AlignRight | Qt::AlignVCenter, {960, 4200, 975, 255});
    greyLabel(QStringLiteral("Label21"), QStringLiteral("y : k(i)"), Qt::AlignCenter,
              {6360, 4200, 975, 255});

    Text2[0] = new QLineEdit(this);
    Text2[0]->setObjectName(QStringLiteral("Text2(0)"));
    Text2[0]->setAccessibleName(QStringLiteral("output file"));
    QPalette output = Text2[0]->palette();
    output.setColor(QPalette::Base, Qt::white);
    output.setColor(QPalette::Text, kRed);
    Text2[0]->setPalette(output);
    ui::placeInTwips(Text2[0], 2040, 4140, 4335, 285);

    static const char *const rowLabelNames[] = {"Label3",  "Label2",  "Label10", "Label11",
                                                "Label13", "Label15", "Label16", "Label17",
                                                "Label18", "Label19"};
    QPalette inputRow;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        inputRow.setColor(group, QPalette::Base, kGrey);
        inputRow.setColor(group, QPalette::Text, kRed);
    }
    QFont italic = font();
    italic.setItalic(true);
    for (int i = 1; i <= 10; ++i) {
        int top = 4440 + 240 * (i - 1);
        QString caption = QStringLiteral("input file%1").arg(i, 2, 10, QLatin1Char('0'));

        greyLabel(QString::fromUtf8(rowLabelNames[i - 1]), caption,
                  Qt::AlignRight | Qt::AlignVCenter, {840, top, 1095, 255});

        auto *name = new QLineEdit(this);
        name->setObjectName(QStringLiteral("Text2(%1)").arg(i));
        name->setAccessibleName(caption);
        name->setPalette(inputRow);
        name->setFont(italic);
        name->setReadOnly(true);
        name->setFocusPolicy(Qt::ClickFocus); // Tab skips the file name rows
        ui::placeInTwips(name, 2040, top, 4455, 225);
        Text2[i] = name;

        auto *weight = new QLineEdit(this);
        weight->setObjectName(QStringLiteral("Text8(%1)").arg(i));
        weight->setAccessibleName(QStringLiteral("y : k(i) ") + caption);
        weight->setAlignment(Qt::AlignRight);
        ui::placeInTwips(weight, 6480, top, 735, 270);
        Text8[i] = weight;
    }

    Label22 = new QLabel(QString(), this);
    Label22->setObjectName(QStringLiteral("Label22"));
    Label22->setAlignment(Qt::AlignCenter);
    Label22->setFont(ui::footerFont());
    QPalette footer = Label22->palette();
    footer.setColor(QPalette::WindowText, QColor(255, 128, 128));
    Label22->setPalette(footer);
    Label22->setAttribute(Qt::WA_TranslucentBackground);
    ui::placeInTwips(Label22, 240, 6960, 7095, 255);
}

void Form1::setTabOrder() {
    QList<QWidget *> order = {Command2, Command1, Command4, Text4,    Text6,   Text5,
                              Text7,    Text10,   Text3,    Text2[0], Command3};
    for (int i = 1; i <= 10; ++i)
        order.append(Text8[i]);
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (QWidget *w : order)
        if (w->focusPolicy() == Qt::NoFocus)
            w->setFocusPolicy(Qt::StrongFocus);
}

void Form1::loadStep() {
    ui::centreOnScreen(this);
    const SettingTexts start;
    Text4->setText(QString::fromStdString(start.xColumn));
    Text5->setText(QString::fromStdString(start.yColumn));
    Text10->setText(QString::fromStdString(start.skipLines));
    Text6->setText(QString::fromStdString(start.xCoefficient));
    Text7->setText(QString::fromStdString(start.yCoefficient));
    Text3->setText(QString::fromUtf8(kDefaultDivisions));
    Text1->clear();
    resetFileRows();
}

// The weights back to 1.0, every file name box empty, the session at its start values.
void Form1::resetFileRows() {
    for (int i = 1; i <= 10; ++i)
        Text8[i]->setText(QString::fromStdString(SettingTexts{}.yWeight));
    for (QLineEdit *box : Text2)
        box->clear();
    session_.reset();
}

void Form1::clearSession() {
    if (busy_)
        return;
    Text1->clear();
    resetFileRows();
    Picture1->clear();
    Command1->setEnabled(false);
    Command3->setEnabled(false);
    Command2->setEnabled(true);
    file_.closeAll();
    slotTexts_ = {};
    written_.reset();
    updateMenuStates();
}

void Form1::exitProgram() {
    bool duringCommand = busy_;
    file_.closeAll();
    hide();
    endProgram_(duringCommand);
}

void Form1::closeEvent(QCloseEvent *event) {
    // Closing the window ends the program like "Exit", also in the middle of a command.
    event->accept();
    exitProgram();
}

SettingTexts Form1::settingTexts(int k) const {
    SettingTexts t;
    t.xColumn = Text4->text().toStdString();
    t.yColumn = Text5->text().toStdString();
    t.xCoefficient = Text6->text().toStdString();
    t.yCoefficient = Text7->text().toStdString();
    t.yWeight = Text8[k]->text().toStdString();
    t.skipLines = Text10->text().toStdString();
    return t;
}

// The failure path of both commands: every file closed, the status box empty, the message.
void Form1::fail(const Status &status) {
    file_.closeAll();
    Text1->clear();
    showMessage_(QStringLiteral("Error"), QString::fromStdString(status.message()));
}

void Form1::addInputFile() {
    if (busy_)
        return;
    CommandGuard guard(busy_);
    addFileFrom(chooseFile_);
    updateMenuStates();
}

bool Form1::addFileFrom(const ChooseFile &supplyPath) {
    const int k = takeNextSlot(session_);
    if (k >= kMaxInputFiles)
        Command2->setEnabled(false);
    Text1->setText(QStringLiteral("File %1").arg(k));

    const std::optional<std::string> chosen = supplyPath();
    if (!chosen) {
        giveBackSlot(session_);
        Text1->setText(QStringLiteral("File %1").arg(session_.fileCount()));
        return false;
    }
    written_.reset();
    Command1->setEnabled(k >= 2);
    Command3->setEnabled(true);
    Picture1->clear();
    Text2[k]->setText(QString::fromStdString(*chosen));

    Rows rows;
    slotTexts_[static_cast<size_t>(k)] = settingTexts(k);
    Status status =
        mergon::addInputFile(session_, file_, *chosen, slotTexts_[static_cast<size_t>(k)], rows);
    if (k == 1)
        Text2[0]->setText(QString::fromStdString(session_.outputFileName));
    if (!status.ok()) {
        fail(status);
        return false;
    }

    status = Picture1->drawInputCurves(
        session_, file_, {[this] { yield_.now(); }, [this] { yield_.throttled(); }}, k, &rows);
    if (!status.ok()) {
        fail(additionFailure(status, status.subject()));
        return false;
    }
    yield_.now();
    return true;
}

void Form1::writeMeanCurve() {
    if (busy_)
        return;
    CommandGuard guard(busy_);

    const std::string outputName = Text2[0]->text().toStdString();
    const MeanOptions options = meanOptions(averageOver_);
    const BandKind band = spread_;
    // The statistics belong to the output file, which this run replaces.
    written_.reset();
    updateMenuStates();
    Text1->setText(QStringLiteral("Data writing..."));
    yield_.now();
    const std::string divisionText = Text3->text().toStdString();

    MeanCurve mean;
    WriteHooks hooks;
    hooks.afterFile = [this] { yield_.throttled(); };
    hooks.beforeWriting = [this, band](const MeanCurve &curve) {
        Picture1->drawMean(curve, band, [this] { yield_.throttled(); });
    };
    const Status status =
        writeMean(session_, file_, outputName, divisionText, mean, hooks, options);
    if (!status.ok())
        return fail(status);
    written_ = WrittenMean{divisionText, outputName, options.range};
    updateMenuStates();
    Text1->setText(QStringLiteral("Finish"));
}

} // namespace mergon
