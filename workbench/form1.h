#pragma once
// Form1: the main window. It owns the session, the one file handle and the graph panel, and
// runs the four commands: "Data File Open", "Write to File", "Clear" and "Exit".

#include "engine/input_files.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"
#include "ui/event_yield.h"
#include "workbench/graph_panel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
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
    void setMessageSink(ShowMessage sink) { showMessage_ = std::move(sink); }
    void setProgramEnd(EndProgram end) { endProgram_ = std::move(end); }
    void setYieldInterval(qint64 ms) { yield_.frameMs = ms; }

    bool commandRunning() const { return busy_; }

  public slots:
    void addInputFile();   // "Data File Open"
    void writeMeanCurve(); // "Write to File"
    void clearSession();   // "Clear"
    void exitProgram();    // "Exit"

  protected:
    void closeEvent(QCloseEvent *event) override;

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
    void yieldAfterPoint();

    Session session_;
    TextFile file_; // the one file handle of the program
    ui::EventYield yield_;
    bool busy_ = false;

    ChooseFile chooseFile_;
    ShowMessage showMessage_;
    EndProgram endProgram_;

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
