#pragma once
// A main window driven through its seams: the chooser answers from a queue, message boxes
// are recorded instead of shown, and "Exit" is counted instead of ending the test program.

#include "engine/bad_inputs.h"
#include "engine/temp_dir.h"
#include "workbench/form1.h"

#include <QApplication>
#include <QColor>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The whole content of a file, or "<missing>".
inline QByteArray readAll(const std::string &path) {
    return std::filesystem::exists(path) ? QByteArray::fromStdString(readBytes(path))
                                         : QByteArray("<missing>");
}

// How many pixels of the image have exactly this colour.
inline int countColour(const QImage &image, const QColor &colour) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32); // rows without padding
    const auto *pixels = reinterpret_cast<const QRgb *>(argb.constBits());
    return int(std::count(pixels, pixels + argb.width() * argb.height(), colour.rgba()));
}

struct Result {
    int exitCode = -1;
    QString out, err;
};

// Runs `program` in `folder`, with mergon-batch's folder first on the PATH as for an installed
// program, and waits for its end; `unprivileged` runs it as an ordinary user when the test runs
// as root, for whom permission bits do not bind.
inline Result runProgram(const QStringList &arguments, const QString &folder,
                         const QString &program, bool unprivileged = false) {
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", QFileInfo(QStringLiteral(MERGON_BATCH)).absolutePath() + ':' +
                                   environment.value("PATH"));
    process.setProcessEnvironment(environment);
    if (unprivileged && ::geteuid() == 0)
        process.setChildProcessModifier([] {
            const gid_t nobody = bad_inputs::Unprivileged::kNobody;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(127);
        });
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Whether an ordinary user may start mergon-batch where the build tree lies (a checkout in a
// folder only root may enter may not allow it).
inline bool ordinaryUserMayRunBatch() {
    if (::geteuid() != 0)
        return true;
    const bad_inputs::Unprivileged ordinary(true);
    return ::faccessat(AT_FDCWD, MERGON_BATCH, X_OK, AT_EACCESS) == 0;
}

inline Result runBatch(const QStringList &arguments, const QString &folder = {},
                       bool unprivileged = false) {
    return runProgram(arguments, folder, QStringLiteral(MERGON_BATCH), unprivileged);
}

// mergon-batch's options for one input file's settings, then its path.
inline QStringList inputArguments(const mergon::SettingTexts &t, const std::string &path) {
    QStringList arguments;
    for (const auto &[option, value] : {std::pair{"--x-column", t.xColumn},
                                        {"--y-column", t.yColumn},
                                        {"--x-coefficient", t.xCoefficient},
                                        {"--y-coefficient", t.yCoefficient},
                                        {"--weight", t.yWeight},
                                        {"--skip-lines", t.skipLines}})
        arguments << QString::fromUtf8(option) << QString::fromStdString(value);
    return arguments << QString::fromStdString(path);
}

class Form1Fixture : public ::testing::Test {
  protected:
    struct Message {
        QString title, text;
    };

    void SetUp() override {
        form = std::make_unique<mergon::Form1>();
        form->setMessageSink([this](const QString &title, const QString &text) {
            messages.push_back({title, text});
        });
        form->setChooser([this]() -> std::optional<std::string> {
            ++chooserShown;
            if (answers.empty())
                return std::nullopt;
            const std::string answer = answers.front();
            answers.pop_front();
            return answer.empty() ? std::nullopt : std::optional(answer); // "" cancels
        });
        form->setProgramEnd([this](bool duringCommand) {
            ++programEnds;
            endedDuringCommand = duringCommand;
        });
    }

    std::string path(const QString &name) const { return dir.file(name.toStdString()); }

    std::string writeFile(const QString &name, const QByteArray &content) const {
        return dir.write(name.toStdString(), content.toStdString());
    }

    // A file in the start settings' shape: three header lines, x in field 5, y in field 6.
    std::string writeCurve(const QString &name, const std::vector<std::pair<double, double>> &xy) {
        QByteArray text = "header 1\r\nheader 2\r\nheader 3\r\n";
        int n = 1;
        for (auto [x, y] : xy)
            text += QByteArray::number(n++) + " 0 0 0 " + QByteArray::number(x, 'g', 17) + " " +
                    QByteArray::number(y, 'g', 17) + "\r\n";
        return writeFile(name, text);
    }

    // Clicks "Data File Open" with the chooser answering `chosen` ("" cancels).
    void add(const std::string &chosen) {
        answers.push_back(chosen);
        form->Command2->click();
    }

    // Two lines, y = x and y = x + 2 over x 0 to 2, to be written to out.mrg.
    void loadTwoLines() {
        add(writeCurve("a.txt", {{0, 0}, {1, 1}, {2, 2}}));
        add(writeCurve("b.txt", {{0, 2}, {1, 3}, {2, 4}}));
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
        form->Text2[0]->setText(QString::fromStdString(path("out.mrg")));
    }

    // Drops these files on the window as a file manager does.
    void drop(const QStringList &paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        // A drop goes where the drag's entry was accepted.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &event);
        QCoreApplication::processEvents(); // the files are added once the drop is over
    }

    QString status() const { return form->Text1->text(); }

    // Enabled flags of these buttons or actions, as "1001".
    static std::string enabledFlags(std::initializer_list<const QObject *> items) {
        std::string flags;
        for (const QObject *item : items)
            flags += item->property("enabled").toBool() ? '1' : '0';
        return flags;
    }
    // "Data File Open", "Write to File", "Clear" and "Exit".
    std::string buttonStates() const {
        return enabledFlags({form->Command2, form->Command1, form->Command3, form->Command4});
    }

    TempDir dir;
    std::unique_ptr<mergon::Form1> form;
    std::deque<std::string> answers;
    std::vector<Message> messages;
    int chooserShown = 0;
    int programEnds = 0;
    bool endedDuringCommand = false;
};
