// TForm16 "Computer speed": the office passes through the automation interface, the text
// passes, and the texts the window ends with.
#include "FakePlatform.h"

#include "app/ComputerSpeedWindow.h"
#include "app/MainWindow.h"
#include "app/Windows.h"
#include "tests/support/RecordingWord.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;
using vexlo::test::RecordingWord;

class ComputerSpeedTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> m_program;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<Windows> m_windows;

    template <class T> T *find(QWidget *window, const char *name)
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    QString text(QWidget *window, const char *label) { return find<QLabel>(window, label)->text(); }
    void copySample(const char *name)
    {
        QVERIFY(QFile::copy(QStringLiteral(VEXLO_SOURCE_DIR "/resources/") + QLatin1String(name),
                            m_program->filePath(QLatin1String(name))));
    }

  private slots:
    void init()
    {
        m_program = std::make_unique<QTemporaryDir>();
        const QString ini = m_program->filePath(QStringLiteral("vexlopro.ini"));
        QVERIFY(QFile::copy(QStringLiteral(VEXLO_SOURCE_DIR "/resources/vexlopro.ini"), ini));
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
        m_platform = std::make_unique<FakePlatform>(ProgramFolder(ToBytes(m_program->path())));
        m_platform->now = 1000;
        m_windows = std::make_unique<Windows>(*m_platform);
    }
    void cleanup()
    {
        m_windows.reset();
        m_platform.reset();
    }

    void createdHiddenWithEmptyLabels()
    {
        ComputerSpeedWindow &window = m_windows->computerSpeed();
        QCOMPARE(window.objectName(), QStringLiteral("TForm16"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Computer speed"));
        QVERIFY(!window.isVisible());
        for (const char *label : {"Label1", "Label2", "Label3"})
            QVERIFY(text(&window, label).isEmpty());
        QCOMPARE(find<QToolButton>(&window, "SpeedButton2")->toolTip(), QStringLiteral("Calculate!"));
        QCOMPARE(find<QToolButton>(&window, "SpeedButton1")->toolTip(), QStringLiteral("Close..."));
    }

    void calculatesWithTheShippedSamples()
    {
        copySample("MSWordTesting.doc");
        copySample("TextFileTesting.txt");
        ComputerSpeedWindow &window = m_windows->computerSpeed();
        window.show();
        find<QToolButton>(&window, "SpeedButton2")->click();
        QCOMPARE(text(&window, "Label1"), QStringLiteral("The end."));
        QCOMPARE(text(&window, "Label2"),
                 QStringLiteral("Average time of processing of a file MS Word - 0 ms."));
        QCOMPARE(text(&window, "Label3"),
                 QStringLiteral("Average time of processing of textual files - 25 ms."));
        QCOMPARE(find<QGroupBox>(&window, "GroupBox1")->title(), QStringLiteral("Расчет скорости работы"));
        QCOMPARE(find<QProgressBar>(&window, "ProgressBar1")->maximum(), 10);
        QCOMPARE(find<QProgressBar>(&window, "ProgressBar1")->value(), 10);
        if (qEnvironmentVariableIsSet("VEXLO_GRAB")) // a picture for the documentation
            window.grab().save(qEnvironmentVariable("VEXLO_GRAB"));
        find<QToolButton>(&window, "SpeedButton1")->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(text(&window, "Label1"), QStringLiteral("The end.")); // kept until the next run
    }

    void withoutAReadableDocumentTheOfficeFigureIsAnError()
    {
        copySample("TextFileTesting.txt");
        ComputerSpeedWindow &window = m_windows->computerSpeed();
        window.calculate();
        QCOMPARE(text(&window, "Label2"), QStringLiteral("MS Word is not instaled. Or works not correctly."));
        QCOMPARE(text(&window, "Label3"),
                 QStringLiteral("Average time of processing of textual files - 25 ms."));
    }

    void fiftyOnePassesOfOpenCloseQuit()
    {
        copySample("TextFileTesting.txt");
        RecordingWord word;
        ComputerSpeedWindow window(*m_platform, nullptr, &word);
        window.calculate();
        QCOMPARE(word.calls.size(), std::size_t(51 * 4));
        for (std::size_t pass = 0; pass < 51; ++pass) {
            QCOMPARE(word.calls[4 * pass].name, std::string("connect"));
            QCOMPARE(word.calls[4 * pass + 1].name, std::string("Documents.Open"));
            QCOMPARE(word.calls[4 * pass + 2].name, std::string("ActiveDocument.Close"));
            QCOMPARE(word.calls[4 * pass + 3].name, std::string("Application.Quit"));
        }
        const word::Arguments &open = word.calls[1].arguments;
        QCOMPARE(open.size(), std::size_t(10));
        QCOMPARE(open[0].asString(), ToBytes(m_program->filePath(QStringLiteral("MSWordTesting.doc"))));
        QCOMPARE(open[9].asInt(), 0);
        QVERIFY(word.calls[2].arguments[0].isOmitted());

        RecordingWord failingLast;
        failingLast.failAt = 51 * 3; // the Quit of the last pass
        ComputerSpeedWindow second(*m_platform, nullptr, &failingLast);
        second.calculate();
        QCOMPARE(text(&second, "Label2"), QStringLiteral("MS Word is not instaled. Or works not correctly."));
    }

    void aMissingTextSampleEndsTheRunBeforeItsFigure()
    {
        copySample("MSWordTesting.doc");
        ComputerSpeedWindow &window = m_windows->computerSpeed();
        find<QToolButton>(&window, "SpeedButton2")->click(); // the error goes to the handler
        QVERIFY(text(&window, "Label2").endsWith(QStringLiteral(" ms.")));
        QVERIFY(text(&window, "Label3").isEmpty());
        QCOMPARE(text(&window, "Label1"), QStringLiteral("0"));
        QVERIFY(m_platform->messages.isEmpty());
    }
};

QTEST_MAIN(ComputerSpeedTest)
#include "tst_computerspeed.moc"
