#pragma once
// Form1: the main window. It owns the session, the one file handle and the graph panel, and
// runs the four commands: "Data File Open", "Write to File", "Clear" and "Exit"; the graph's
// context menu saves the figure and the statistics, chooses the spread band and the range,
// and copies the batch command. Files dropped on the window are added as if chosen.

#include "engine/input_files.h"
#include "engine/mean_options.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"
#include "plot/figure_kinds.h"
#include "ui/event_yield.h"
#include "workbench/graph_panel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace mergon {

class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    Session &session() { return session_; }
    const Session &session() const { return session_; }
    GraphPanel *graphPanel() const { return Picture1; }

    // Seams for tests and front ends. The chooser answers with a full path, or nothing when
    // cancelled; the message sink shows an "Error" box.
    using ChooseFile = std::function<std::optional<std::string>()>;
    using ShowMessage = std::function<void(const QString &title, const QString &text)>;
    using EndProgram = std::function<void(bool duringCommand)>;
    void setChooser(ChooseFile chooser) { chooseFile_ = std::move(chooser); }
    // The save dialog: a path for the caption and file type filters, or nothing when
    // cancelled.
    using ChooseSavePath = std::function<std::optional<std::string>(const QString &caption,
                                                                    const QStringList &filters)>;
    void setSaveChooser(ChooseSavePath chooser) { chooseSavePath_ = std::move(chooser); }
    void setMessageSink(ShowMessage sink) { showMessage_ = std::move(sink); }
    void setProgramEnd(EndProgram end) { endProgram_ = std::move(end); }
    void setYieldInterval(qint64 ms) { yield_.frameMs = ms; }

    bool commandRunning() const { return busy_; }
    QMenu *graphMenu() const { return graphMenu_; }

    // Adds the files one after another as "Data File Open" adds a chosen one, up to ten files
    // in all; the first that fails stops the rest. Ignored while a command runs.
    void addFiles(const QStringList &paths);

  public slots:
    void addInputFile();     // "Data File Open"
    void writeMeanCurve();   // "Write to File"
    void clearSession();     // "Clear"
    void exitProgram();      // "Exit"
    void saveFigure();       // "Save Figure..."
    void saveStatistics();   // "Save Statistics..."
    void copyBatchCommand(); // "Copy Batch Command"

  protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

  private:
    QLabel *greyLabel(const QString &name, const QString &text, Qt::Alignment alignment,
                      const QRect &twips);
    void createButtons();
    void createSettingGroups();
    void createFileRows();
    void setTabOrder();
    void loadStep();
    SettingTexts settingTexts(int k) const;
    void resetFileRows();
    void fail(const Status &status);
    // One "Data File Open": takes the next slot, asks `supplyPath` for the file (the chooser,
    // or a path given otherwise) and adds it. False when cancelled or failed.
    bool addFileFrom(const ChooseFile &supplyPath);
    void createGraphMenu();
    void showGraphMenu(const QPoint &globalPosition);
    void updateMenuStates();
    // The options "write the mean" takes for the window's range and spread choices.
    MeanOptions meanOptions(GridRange range) const;

    Session session_;
    TextFile file_; // the one file handle of the program
    ui::EventYield yield_;
    bool busy_ = false;

    ChooseFile chooseFile_;
    ChooseSavePath chooseSavePath_;
    ShowMessage showMessage_;
    EndProgram endProgram_;

    // The context menu's choices; they last while the program runs.
    BandKind spread_ = BandKind::kNone;
    GridRange averageOver_ = GridRange::kCommon;
    std::array<SettingTexts, kMaxInputFiles + 1> slotTexts_{}; // what each file was added with
    // What the last successful "Write to File" in this session wrote, for its statistics.
    struct WrittenMean {
        std::string divisionText, outputName;
        GridRange range;
    };
    std::optional<WrittenMean> written_;

    QMenu *graphMenu_ = nullptr;
    QAction *saveFigureAction_ = nullptr, *saveStatisticsAction_ = nullptr,
            *copyCommandAction_ = nullptr;

  public:
    // Controls, named as the window's layout names them.
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *Command3 = nullptr, *Command4 = nullptr;
    QLineEdit *Text1 = nullptr, *Text3 = nullptr, *Text4 = nullptr, *Text5 = nullptr,
              *Text6 = nullptr, *Text7 = nullptr, *Text10 = nullptr;
    std::array<QLineEdit *, 11> Text2{}; // 0 is the output file, 1..10 the input files
    std::array<QLineEdit *, 11> Text8{}; // weights of input files 1..10; 0 is unused
    GraphPanel *Picture1 = nullptr;
    QLabel *Label22 = nullptr;
};

} // namespace mergon
